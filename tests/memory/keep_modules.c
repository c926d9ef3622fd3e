/* Preloaded into memory-checked runs only. The GL driver and the X libraries
 * are unloaded at exit, and memory they still reach then looks leaked and is
 * reported from an unknown module; keeping them mapped lets the leak checker
 * see it as reachable and name the module of anything it does report. */
int dlclose(void *handle) {
    (void)handle;
    return 0;
}
