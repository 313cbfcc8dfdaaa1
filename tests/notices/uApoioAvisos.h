// Support of the notice tests: the service fixture (the development server with
// notices of its own, fixed computer and user names, a settable clock on
// today's date, the recorded requests, a scripted employee for the popups on the
// headless kit) and the pictures the tests write themselves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/uConfigINI.h"
#include "platform/uDesktop.h"
#include "platform/uMci.h"
#include "tests/net/uAmbienteHttp.h"

using TParesForm = std::vector<std::pair<std::string, std::string>>;

struct TPedidoAviso {
  std::string Metodo, Caminho, Consulta;
  TParesForm Form;
  // The decoded query value (first of equal names), "" when absent.
  std::string Param(const std::string& ANome) const;
  std::string Campo(const std::string& ANome) const;  // form value
};

// What one popup showed.
struct TPopupVisto {
  std::string Empresa, Titulo, Mensagem, Link;
  bool TemLogo = false, TemImagem = false;
};

class AvisosTeste : public TAmbienteHttp {
 protected:
  static constexpr const char* kToken = "tok-teste-1234567890";

  void SetUp() override;
  void TearDown() override;

  std::string UrlServidor() const { return Url("demo/intranet/"); }
  void Configurar(const std::string& AURL, const std::string& AToken);
  // POST /admin/notices with the members given ("" leaves that part alone);
  // the request record is emptied.
  void Cenario(const std::string& AKind, const std::string& ALink = "",
               const std::string& AAck = "");
  // The whole scenario replaced (api_token added), the record emptied.
  void CenarioJson(const std::string& AMembros);
  // Every recorded request, or those to one endpoint, oldest first.
  std::vector<TPedidoAviso> Pedidos(const std::string& AEndpoint = "");

  // What the employee does with each popup, in order: true confirms it once
  // released, false ends the session while it waits. Popups beyond the list
  // are confirmed.
  std::vector<bool> Respostas;
  std::vector<TPopupVisto> Popups;
  // The pass with the scripted employee; a popup still open after two minutes
  // of the fake clock fails the test.
  void Passo();

  // Today's date at the given time on the fake clock.
  void Hoje(int AHora, int AMinuto, int ASegundo = 0);

  TSistemaFalso FSistema;
  TMciGravador FMci;
  TDesktopGravador FDesktop;

 private:
  std::unique_ptr<SubstituirConcern<ISistema>> FTrocaSistema;
  std::unique_ptr<SubstituirConcern<IMci>> FTrocaMci;
  std::unique_ptr<SubstituirConcern<IDesktop>> FTrocaDesktop;
};

// --- pictures written by the tests -------------------------------------------------

// A PNG file's bytes (8-bit RGBA, non-interlaced) of the colours given per pixel
// as 0xAARRGGBB.
std::string PngRgba(int ALargura, int AAltura, const std::function<uint32_t(int, int)>& ACor);
// A single-colour opaque PNG of any size, compressed as it is produced, so that
// a huge picture costs the test no memory.
bool GravarPngUniforme(const std::string& ACaminho, int ALargura, int AAltura, uint32_t ACor);
// An opaque PNG of any size with the colour (0xRRGGBB) given per pixel, written
// as it is produced.
bool GravarPngRgb(const std::string& ACaminho, int ALargura, int AAltura,
                  const std::function<uint32_t(int, int)>& ACor);
// A bottom-up BMP of 1, 4 or 8 bits with the palette (0xRRGGBB each) and the
// bytes of each file row (ALinha(k) for the file's k-th row, the picture's
// bottom row first), each padded to 4 bytes here.
std::string BmpDePaleta(int ALargura, int AAltura, int ABits, const std::vector<uint32_t>& APaleta,
                        const std::function<std::string(int)>& ALinha);
// A 16 x 8 JPEG: the left half red, the right half blue.
std::string JpegPequeno();

class TShellGravador;
// Checks that the shell was asked exactly once to open the file as it is, with
// no parameters or folder, shown normally: the audio player's fallback.
void VerificarAberturaPeloShell(const TShellGravador& AShell, const std::string& AArquivo);
