// A library that imports a function nothing defines: like a Windows DLL naming an entry
// point its dependency lacks, it must not load at all.
extern "C" int ZentCoreNowhere();

extern "C" __attribute__((visibility("default"))) int ZentCoreUnboundValue() { return ZentCoreNowhere(); }
