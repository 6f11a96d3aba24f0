// A shared object that calls a function nothing defines. It links (a shared object may leave
// symbols to be found at load time) but must be refused when loaded with immediate binding.

extern "C" int KernelTestFunctionNobodyDefines(void);
extern "C" __attribute__((visibility("default"))) int KernelTestUnresolvedCaller(void);

extern "C" int KernelTestUnresolvedCaller(void) {
    return KernelTestFunctionNobodyDefines();
}
