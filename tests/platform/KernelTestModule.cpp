// Shared objects for the module tests. Built plain, it exports an answer; built with
// KQ_UNRESOLVED, it calls a function nothing defines: it links, but immediate binding refuses it.
#ifndef KQ_UNRESOLVED
extern "C" __attribute__((visibility("default"))) int KernelTestModuleAnswer(void);
extern "C" int KernelTestModuleAnswer(void) {
    return 42;
}
#else
extern "C" int KernelTestFunctionNobodyDefines(void);
extern "C" __attribute__((visibility("default"))) int KernelTestUnresolvedCaller(void);
extern "C" int KernelTestUnresolvedCaller(void) {
    return KernelTestFunctionNobodyDefines();
}
#endif
