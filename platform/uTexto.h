// Text helpers shared by the whole agent. Text is UTF-8 in std::string; lengths
// and cuts "in characters" are counted in UTF-16 code units, as Windows counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes become U+FFFD; lone surrogates too.
std::u16string Utf8ParaUtf16(std::string_view ATexto);
std::string Utf16ParaUtf8(std::u16string_view ATexto);

// Number of UTF-16 code units of a UTF-8 text.
size_t ComprimentoUtf16(std::string_view ATexto);
// The first AMax UTF-16 code units of the text; a character that does not fit
// whole (a surrogate pair at the edge) is left out, never split.
std::string CortarUtf16(std::string_view ATexto, size_t AMax);

// Trim: removes leading and trailing characters of code 32 or less.
std::string Aparar(std::string_view ATexto);
std::string AparaEsquerda(std::string_view ATexto);
std::string AparaDireita(std::string_view ATexto);
bool EmBranco(std::string_view ATexto);

// Only the ASCII letters change; every other byte stays as it is.
std::string MinusculasAscii(std::string_view ATexto);
std::string MaiusculasAscii(std::string_view ATexto);
bool IgualSemCaixa(std::string_view A, std::string_view B);
bool IniciaComSemCaixa(std::string_view ATexto, std::string_view APrefixo);
bool Contem(std::string_view ATexto, std::string_view AParte);

std::string SubstituirTudo(std::string ATexto, std::string_view ADe, std::string_view APara);
std::vector<std::string> DividirLinhas(std::string_view ATexto);  // at CR LF, LF or CR

// 32-bit integer as config.ini holds it: decimal with an optional sign, or
// hexadecimal after a leading lower-case "0x" when the text is longer than
// two characters; surrounding blanks rejected.
bool LerInteiro32(std::string_view ATexto, int32_t& AValor);
// Strict decimal only (no hexadecimal), optional sign.
bool LerInteiroDecimal32(std::string_view ATexto, int32_t& AValor);

// windows-1252 (and its ISO-8859-1 subset) to UTF-8, and back; characters that
// the code page lacks become "?".
std::string Cp1252ParaUtf8(std::string_view ABytes);
std::string Utf8ParaCp1252(std::string_view ATexto);
// True when the bytes are well-formed UTF-8.
bool Utf8Valido(std::string_view ABytes);
