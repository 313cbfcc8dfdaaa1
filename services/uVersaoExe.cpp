// PE image walk: headers, sections, the resource tree down to RT_VERSION, and
// the fixed file information inside it.
#include "services/uVersaoExe.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kAssinaturaFixa = 0xFEEF04BDu;

struct TLeitor {
  std::string_view B;
  bool U16(size_t APos, uint16_t& AV) const {
    if (APos > B.size() || B.size() - APos < 2) return false;
    AV = static_cast<uint16_t>(static_cast<unsigned char>(B[APos]) |
                               (static_cast<unsigned char>(B[APos + 1]) << 8));
    return true;
  }
  bool U32(size_t APos, uint32_t& AV) const {
    if (APos > B.size() || B.size() - APos < 4) return false;
    AV = 0;
    for (int i = 3; i >= 0; --i) AV = (AV << 8) | static_cast<unsigned char>(B[APos + i]);
    return true;
  }
};

struct TSecao {
  uint32_t Va = 0, TamanhoVirtual = 0, TamanhoBruto = 0, PosicaoBruta = 0;
};

// The resource directory entry of AId (any id when AId is 0, the first one).
bool Entrada(const TLeitor& L, size_t ADir, uint32_t AId, uint32_t& ADestino) {
  uint16_t nomes = 0, ids = 0;
  if (!L.U16(ADir + 12, nomes) || !L.U16(ADir + 14, ids)) return false;
  const size_t total = static_cast<size_t>(nomes) + ids;
  for (size_t i = 0; i < total && i < 4096; ++i) {
    uint32_t nome = 0, dest = 0;
    if (!L.U32(ADir + 16 + i * 8, nome) || !L.U32(ADir + 20 + i * 8, dest)) return false;
    if (AId == 0 || (!(nome & 0x80000000u) && nome == AId)) {
      ADestino = dest;
      return true;
    }
  }
  return false;
}

// Position of the optional header's data directories, 0 when the bytes are no
// PE image.
size_t Diretorios(const TLeitor& L, size_t& AOpt, uint16_t& ATamanhoOpt) {
  const std::string_view b = L.B;
  if (b.size() < 64 || b[0] != 'M' || b[1] != 'Z') return 0;
  uint32_t pe = 0;
  if (!L.U32(0x3C, pe) || pe > b.size() || b.size() - pe < 24 ||
      std::memcmp(b.data() + pe, "PE\0\0", 4) != 0)
    return 0;
  uint16_t magia = 0;
  if (!L.U16(pe + 20, ATamanhoOpt)) return 0;
  AOpt = pe + 24;
  if (!L.U16(AOpt, magia)) return 0;
  return AOpt + (magia == 0x20b ? 112 : magia == 0x10b ? 96 : 0);
}

}  // namespace

bool ExecutavelComAssinatura(std::string_view ABytes) {
  const TLeitor L{ABytes};
  size_t opt = 0;
  uint16_t topt = 0;
  const size_t dirs = Diretorios(L, opt, topt);
  // Entry 4; its address is a file position, not an RVA.
  uint32_t pos = 0, tam = 0;
  if (dirs == opt || dirs + 40 > opt + topt || !L.U32(dirs + 32, pos) || !L.U32(dirs + 36, tam))
    return false;
  return pos != 0 && tam != 0;
}

namespace {

// Where the version resource's data lies in the file: [ADados, AFim).
bool BlocoVersao(std::string_view ABytes, size_t& ADados, size_t& AFim) {
  const TLeitor L{ABytes};
  if (ABytes.size() < 64 || ABytes[0] != 'M' || ABytes[1] != 'Z') return false;
  uint32_t pe = 0;
  if (!L.U32(0x3C, pe) || pe > ABytes.size() || ABytes.size() - pe < 24 ||
      std::memcmp(ABytes.data() + pe, "PE\0\0", 4) != 0)
    return false;
  uint16_t nsec = 0, topt = 0, magia = 0;
  if (!L.U16(pe + 6, nsec) || !L.U16(pe + 20, topt)) return false;
  const size_t opt = pe + 24;
  if (!L.U16(opt, magia)) return false;
  const size_t dirs = opt + (magia == 0x20b ? 112 : magia == 0x10b ? 96 : 0);
  if (dirs == opt || dirs + 24 > opt + topt) return false;
  uint32_t rvaRec = 0, tamRec = 0;
  if (!L.U32(dirs + 16, rvaRec) || !L.U32(dirs + 20, tamRec) || rvaRec == 0) return false;
  const size_t tabela = opt + topt;
  std::vector<TSecao> secoes;
  for (uint16_t i = 0; i < nsec; ++i) {
    TSecao s;
    const size_t p = tabela + static_cast<size_t>(i) * 40;
    if (!L.U32(p + 8, s.TamanhoVirtual) || !L.U32(p + 12, s.Va) || !L.U32(p + 16, s.TamanhoBruto) ||
        !L.U32(p + 20, s.PosicaoBruta))
      return false;
    secoes.push_back(s);
  }
  // RVA to file position through the section that holds it.
  auto posicao = [&](uint32_t ARva, size_t& APos) {
    for (const TSecao& s : secoes) {
      const uint32_t tam = s.TamanhoVirtual ? s.TamanhoVirtual : s.TamanhoBruto;
      if (ARva >= s.Va && ARva - s.Va < tam && ARva - s.Va < s.TamanhoBruto) {
        APos = static_cast<size_t>(s.PosicaoBruta) + (ARva - s.Va);
        return APos < ABytes.size();
      }
    }
    return false;
  };
  size_t raiz = 0;
  if (!posicao(rvaRec, raiz)) return false;
  uint32_t d = 0;
  // Type, name, language: the first two are subdirectories, the last a data entry.
  if (!Entrada(L, raiz, kRtVersion, d) || !(d & 0x80000000u)) return false;
  if (!Entrada(L, raiz + (d & 0x7FFFFFFFu), 0, d) || !(d & 0x80000000u)) return false;
  if (!Entrada(L, raiz + (d & 0x7FFFFFFFu), 0, d) || (d & 0x80000000u)) return false;
  uint32_t rvaDados = 0, tamDados = 0;
  size_t dados = 0;
  if (!L.U32(raiz + d, rvaDados) || !L.U32(raiz + d + 4, tamDados) || !posicao(rvaDados, dados))
    return false;
  ADados = dados;
  AFim = std::min(ABytes.size(), dados + static_cast<size_t>(tamDados));
  return true;
}

}  // namespace

bool LerVersaoExecutavel(std::string_view ABytes, std::string& AVersao) {
  AVersao.clear();
  const TLeitor L{ABytes};
  size_t dados = 0, fim = 0;
  if (!BlocoVersao(ABytes, dados, fim)) return false;
  // VS_FIXEDFILEINFO follows the key "VS_VERSION_INFO", aligned to 4 bytes.
  for (size_t p = dados; p + 16 <= fim; p += 4) {
    uint32_t sig = 0, ms = 0, ls = 0;
    if (L.U32(p, sig) && sig == kAssinaturaFixa && L.U32(p + 8, ms) && L.U32(p + 12, ls)) {
      AVersao = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
                std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
      return true;
    }
  }
  return false;
}

bool LerNomeOriginalExecutavel(std::string_view ABytes, std::string& ANome) {
  ANome.clear();
  size_t dados = 0, fim = 0;
  if (!BlocoVersao(ABytes, dados, fim)) return false;
  const TLeitor L{ABytes};
  // The string's key in UTF-16, with its terminator; the value follows,
  // aligned to 4 bytes from the start of the resource.
  std::string chave;
  for (const char* c = "OriginalFilename"; *c; ++c) chave += *c, chave += '\0';
  chave.append(2, '\0');
  const size_t p = ABytes.substr(0, fim).find(chave, dados);
  if (p == std::string_view::npos || (p - dados) % 2 != 0) return false;
  size_t v = p + chave.size();
  v += (4 - (v - dados) % 4) % 4;
  for (uint16_t u = 0; v + 2 <= fim && L.U16(v, u) && u != 0 && ANome.size() < 260; v += 2)
    ANome += u >= 0x20 && u < 0x7F ? static_cast<char>(u) : '?';
  return !ANome.empty();
}
