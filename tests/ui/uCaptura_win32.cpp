// Screenshots for the UI kit's Wine tests: the Wine tools' capture, built into this program.
#include "tools/wine/uCaptura_win32.cpp"  // NOLINT(bugprone-suspicious-include)
