// What the HTTP helpers do with bodies above the transport: inflating,
// decoding by charset, and the form encoding of posts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Content type of every form post.
inline constexpr const char* kTipoFormulario = "application/x-www-form-urlencoded; charset=utf-8";

// The body inflated when its Content-Encoding names gzip or deflate (also when
// nobody asked the server to compress); other encodings pass unchanged.
// Raises EHttpErro when the compressed data is corrupt or truncated.
std::string InflarCorpo(std::string_view ABytes, std::string_view ACodificacao);
// The same for a body that is handed over: returned as it is, without a copy,
// when no coding applies; an inflated body longer than ALimite bytes raises
// EHttpErro.
std::string InflarCorpoAte(std::string&& ABytes, std::string_view ACodificacao, size_t ALimite);

// The charset parameter of a Content-Type, lower case and unquoted; "" when
// there is none.
std::string CharsetDoTipo(std::string_view ATipoConteudo);

// The bytes as UTF-8 text, decoded by the charset of the Content-Type (UTF-8
// when none is named or it is unknown). Malformed bytes become U+FFFD; a UTF-8
// byte-order mark at the start is dropped. Never fails.
std::string DecodificarTexto(std::string_view ABytes, std::string_view ATipoConteudo);

// The text without a leading UTF-8 byte-order mark.
std::string RemoverBomUtf8(std::string_view ATexto);

// Form body from name=value lines: split at the first "=", lines without "="
// or starting with it skipped; names and values as UTF-8 with letters, digits
// and * - . _ kept, space as "+", every other byte as %XX; joined with "&".
std::string CodificarFormulario(const std::vector<std::string>& AParams);
