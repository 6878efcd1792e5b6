// One POST of a typical movement batch to the cloud stand-in on loopback: through TVarenta, and
// through the bare curl command doing the same request, side by side in one run.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include "api/base64.h"
#include "api/varenta_client.h"
#include "tests/standin/standin_launcher.h"

extern char** environ;

namespace varenta {
namespace {

// Three lines, a debit card and cash: about the size of an ordinary sale.
const std::string kBatch =
    R"([{"fecha":"2024-03-05T14:07:09.000-0300","numero":"48213","descuentoTotal":1.5,"recargoTotal":0,)"
    R"("codigoMoneda":"986","cotizacion":1,"total":87.4,"cancelacion":false,"documentoCliente":"12345678909",)"
    R"("codigoCanalVenta":1,"descripcionCanalVenta":"VENDA NA LOJA-CARTAO DEBITO-DINHEIRO","detalles":[)"
    R"({"codigoArticulo":"1843092211","codigoBarras":"7896004703398","descripcionArticulo":"DIPIRONA 500MG 10 COMP",)"
    R"("cantidad":2,"importeUnitario":8.9,"importe":17.8,"descuento":0,"recargo":0},)"
    R"({"codigoArticulo":"305117","codigoBarras":"7891058001155","descripcionArticulo":"PROTETOR SOLAR FPS 50 200ML",)"
    R"("cantidad":1,"importeUnitario":59.9,"importe":58.4,"descuento":1.5,"recargo":0},)"
    R"({"codigoArticulo":"992014557","codigoBarras":"7891317001308","descripcionArticulo":"ÁGUA OXIGENADA 10V\/100ML",)"
    R"("cantidad":1,"importeUnitario":11.2,"importe":11.2,"descuento":0,"recargo":0}],"pagos":[)"
    R"({"codigoTipoPago":13,"codigoMoneda":"986","importe":50,"cotizacion":1,"ultimosDigitosTarjeta":"4821",)"
    R"("numeroAutorizacion":"004512","codigoTarjeta":null,"bin":"516292"},)"
    R"({"codigoTipoPago":9,"codigoMoneda":"986","importe":37.4,"cotizacion":1}]}])";

StandIn& standIn() {
  static StandIn running;
  return running;
}

void BM_PostMovementThroughTVarenta(benchmark::State& state) {
  TVarenta client;
  client.setContext({standIn().baseUrl(), "varenta", "varenta", "12", "1"});
  for (auto _ : state) {
    const TVarentaRetornos result = client.postEnviarVenda("3", kBatch);
    if (result.code_retorno != "200") state.SkipWithError(result.json_retorno.c_str());
  }
}
BENCHMARK(BM_PostMovementThroughTVarenta)->Unit(benchmark::kMillisecond);

void BM_PostMovementThroughCurlCommand(benchmark::State& state) {
  const std::string bodyFile = "/tmp/varenta-bench-batch-" + std::to_string(getpid()) + ".json";
  std::ofstream(bodyFile, std::ios::binary) << kBatch;
  std::vector<std::string> args = {
      "curl",
      "-sS",
      "-f",
      "-o",
      "/dev/null",
      "-H",
      "pdv-version: 9.0.0",
      "-H",
      "backend-version: 1.0.0",
      "-H",
      "Authorization: Basic " + base64Encode("varenta:varenta"),
      "-H",
      "Accept: application/json, text/plain; q=0.9, text/html;q=0.8,",
      "-H",
      "Accept-Charset: utf-8, *;q=0.8",
      "-H",
      "Content-Type: application/json",
      "--data-binary",
      "@" + bodyFile,
      standIn().baseUrl() + "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/3/movimientos/lotes"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the curl command failed");
      break;
    }
  }
  std::remove(bodyFile.c_str());
}
BENCHMARK(BM_PostMovementThroughCurlCommand)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varenta
