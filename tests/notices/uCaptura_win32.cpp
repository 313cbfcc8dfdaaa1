// Screenshots for the notice tests under Wine: the Wine tools' capture, built into this program.
#include "tools/wine/uCaptura_win32.cpp"  // NOLINT(bugprone-suspicious-include)
