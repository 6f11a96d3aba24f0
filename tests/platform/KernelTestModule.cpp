// A shared object for the module tests: KeLoadDll opens it and KeGetFn looks its function up.

extern "C" __attribute__((visibility("default"))) int KernelTestModuleAnswer(void);

extern "C" int KernelTestModuleAnswer(void) {
    return 42;
}
