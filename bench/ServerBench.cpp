// A loopback HTTP server for the benchmarks, run as its own process so that
// its memory and CPU do not count against the client being measured.
//
//   GET  /corpo?byte=N     a body of N bytes with its Content-Length
//   POST /lento?secondi=S  an XML answer after S seconds
//
// Prints the port it listens on, then serves until standard input closes.

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

int main() {
  httplib::Server server;
  server.Get("/corpo", [](const httplib::Request& req, httplib::Response& res) {
    const std::size_t byte = std::stoull(req.get_param_value("byte"));
    static const std::string blocco(std::size_t{1} << 20, 'x');
    res.set_content_provider(byte, "application/zip",
                             [](std::size_t, std::size_t lunghezza, httplib::DataSink& sink) {
                               return sink.write(blocco.data(), std::min(lunghezza, blocco.size()));
                             });
  });
  server.Post("/lento", [](const httplib::Request& req, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::seconds(std::stoi(req.get_param_value("secondi"))));
    res.set_content("<Envelope><Body><return>S</return></Body></Envelope>", "text/xml");
  });
  const int porta = server.bind_to_any_port("127.0.0.1");
  if (porta <= 0) return 1;
  std::thread ascolto([&server] { server.listen_after_bind(); });
  while (!server.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::printf("%d\n", porta);
  std::fflush(stdout);
  // Runs until whoever started it closes our standard input.
  for (std::string riga; std::getline(std::cin, riga);) {
  }
  server.stop();
  ascolto.join();
  return 0;
}
