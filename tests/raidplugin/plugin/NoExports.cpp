// Loads like a plug-in but exports neither CreateInstance nor the timer.
extern "C" int TestNoExportsMarker() { return 1; }
