// Regional number format of the user's locale.
#pragma once

#include <string>

// The decimal separator of the user's regional settings ("." natively).
std::string SeparadorDecimal();
