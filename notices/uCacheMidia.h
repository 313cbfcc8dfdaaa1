// The notice media cache: a file name from each address, the download with
// reuse, and the deletion with retries after the notice is confirmed.
#pragma once

#include <cstdint>
#include <string>

// Base folder + "cache" + prefix + "_" + MD5 of the URL's bytes + extension;
// "" for a blank URL.
std::string CaminhoCacheMidia(const std::string& AURL, const std::string& APrefixo,
                              const std::string& ATipo);
// The URL's extension when it is one of the kind's ("audio": .mp3 .wav .wma
// .m4a; any other: .jpg .jpeg .png .bmp), else ".mp3" for audio, ".jpg" else.
std::string ExtensaoMidia(const std::string& AURL, const std::string& ATipo);
// Downloads the URL into the path unless a non-empty file is there already.
// Never raises; a failed or oversized download leaves no file behind.
void BaixarMidia(const std::string& AURL, const std::string& ACaminho);
// Image, audio, wallpaper and logo, in that order. Never raises.
void ExcluirArquivosMensagem(const std::string& ALogo, const std::string& AImagem,
                             const std::string& AAudio, const std::string& AWallpaper);
// Up to five attempts 200 ms apart. Never raises.
void ExcluirArquivoCache(const std::string& ACaminho);

// A medium larger than this is not kept.
inline constexpr int64_t kMaxMidiaBytes = 64ll * 1024 * 1024;
