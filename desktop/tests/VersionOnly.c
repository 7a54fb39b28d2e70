int VersionOnly(void) { return 0; }
