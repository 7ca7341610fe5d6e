// A DLL for the module-registry tests: two exports of its own and one forwarded to kernel32.
extern "C" __declspec(dllexport) int FixtureValue() {
    return 42;
}
extern "C" __declspec(dllexport) int FixtureOther() {
    return 7;
}
