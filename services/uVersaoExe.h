// The version resource of a Windows executable, read from its bytes (the same
// on every system, so that a native release tool reads it too).
#pragma once

#include <string>
#include <string_view>

// The file version of the executable's VS_VERSIONINFO as "a.b.c.d"; false when
// the bytes are no PE image or carry no version resource.
bool LerVersaoExecutavel(std::string_view ABytes, std::string& AVersao);
// The "OriginalFilename" string of the version resource (non-ASCII as "?");
// false when there is none.
bool LerNomeOriginalExecutavel(std::string_view ABytes, std::string& ANome);
// True when the image's certificate table (the security data directory) is
// not empty: the file carries an Authenticode signature, readable or not.
bool ExecutavelComAssinatura(std::string_view ABytes);
