// A test plugin that exports none of the entry points: it is registered with twenty null slots.
namespace {
[[maybe_unused]] int unused = 0;
}  // namespace
