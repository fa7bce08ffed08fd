#pragma once
// A stand-in for the SMS gateway, for the program's tests and for trying the program without
// the hardware. It answers the two CGI programs over HTTP:
//
//   POST /cgi-bin/txsms.cgi  "key=K&stat"            -> "0: OK\n<queued> <free>\n"
//                            "key=K&num=N&msg=M"     -> "0: OK\n" (M runs to the end of the body)
//   POST /cgi-bin/rxsms.cgi  "key=K&max=10"          -> "0: OK\n" + up to max lines "number,text\n",
//                                                       or "1: NOSMS\n"
//   a wrong key or an unreadable body                -> "3: DATA?\n"
//
// Bodies travel as Latin-1 bytes, like the device's. Every request is recorded (path, headers,
// raw body) for tests to read. All members are safe to call from any thread while it serves.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace simulador {

// How the simulated device behaves.
enum class Modo {
    Normal,
    SinModulo,      // status "0 0"; sends and fetches "2: NOGSM"
    Lleno,          // status "<capacity> 0"; sends "1: FULL"
    ClaveRechazada, // every key is wrong: "3: DATA?"
    Http404,        // HTTP 404 for every request
    Http503,        // HTTP 503 for every request, as a device that is starting up
    Desconocido,    // a page the program does not know, as another web device at that address
    Cerrar,         // reads the request, then closes the connection without any reply
    NuncaResponde,  // keeps the request open until stopped or switched to another mode
};

struct Peticion
{
    std::string metodo;
    std::string ruta;
    std::vector<std::pair<std::string, std::string>> cabeceras;
    std::string cuerpo; // raw bytes as received

    // Value of the first header called `nombre` (case-insensitive), or "" when absent.
    std::string cabecera(const std::string &nombre) const;
};

struct Mensaje
{
    std::string numero;
    std::string texto; // UTF-8; sent to the program as Latin-1 ("?" for what Latin-1 lacks)
};

class SimuladorNgw
{
public:
    // `clave` is the key the device expects, without "key="; empty accepts any key.
    explicit SimuladorNgw(std::string clave = std::string());
    ~SimuladorNgw();
    SimuladorNgw(const SimuladorNgw &) = delete;
    SimuladorNgw &operator=(const SimuladorNgw &) = delete;

    // Starts listening on `host`:`puerto` (0: any free port) on a thread of its own.
    // Returns the port in use, or -1 when it cannot listen.
    int iniciar(const std::string &host = "127.0.0.1", int puerto = 0);
    // Releases held requests, stops listening and waits for the server thread.
    void detener();
    int puerto() const;

    void fijarClave(const std::string &clave);
    void fijarModo(Modo modo);
    Modo modo() const;
    // The next `pedidos` requests are answered in `modo`, then the mode of fijarModo again
    // (0 ends such a fault at once).
    void fijarFalla(Modo modo, int pedidos);
    int fallasPendientes() const;
    // Every reply waits this long first (0: none).
    void fijarDemora(std::chrono::milliseconds demora);
    // A device that takes every message it is sent but answers the send itself in its own way:
    // with this text instead of "0: OK" (std::nullopt: the usual), and this long after taking it
    // (0: at once). Status queries and fetches are answered as usual.
    void fijarRespuestaEnvio(std::optional<std::string> texto);
    void fijarDemoraEnvio(std::chrono::milliseconds demora);
    // Counters of the status reply in Normal mode: messages queued and room left.
    void fijarContadores(int enCola, int libres);
    // Capacity reported as "<capacity> 0" in Lleno mode.
    void fijarCapacidad(int capacidad);
    // A reply body that replaces the device's for `ruta` ("/cgi-bin/txsms.cgi"...), whatever
    // the body asked; std::nullopt removes it.
    void fijarRespuesta(const std::string &ruta, std::optional<std::string> cuerpo);
    // HTTP status of every reply, with the body the device would give (0: the usual 200; a
    // 3xx also names another host in "Location").
    void fijarEstadoHttp(int estado);
    // Every byte of a reply body leaves this long after the previous one (0: all at once).
    void fijarGoteo(std::chrono::milliseconds intervalo);
    // This many filler bytes (lines of "x", no commas) follow every reply body; produced as
    // they are written, so a reply of gigabytes costs no memory here.
    void fijarRelleno(std::uint64_t bytes);

    // Messages for the fetch to hand out, oldest first.
    void agregarRecibido(const std::string &numero, const std::string &texto);
    // Loads "number,text" lines (UTF-8) from a file; false when it cannot be read.
    bool cargarRecibidos(const std::string &ruta);
    std::size_t recibidosPendientes() const;

    // Messages the device took for sending, in order.
    std::vector<Mensaje> enviados() const;
    std::vector<Peticion> peticiones() const;
    // Forgets the recorded requests, the taken messages and those still to hand out.
    void limpiar();

    // Called for every request with the recorded request and the reply body sent (for logs).
    void fijarObservador(std::function<void(const Peticion &, const std::string &)> observador);

private:
    void atender(const httplib::Request &req, httplib::Response &res);
    std::string responderTx(const std::string &cuerpo);
    std::string responderRx(const std::string &cuerpo);
    bool claveValida(const std::string &clave) const;
    // Waits `demora`, or until stopped; false when stopping.
    bool esperar(std::chrono::milliseconds demora);

    std::unique_ptr<httplib::Server> m_servidor;
    std::thread m_hilo;
    int m_puertoActivo = -1;

    mutable std::mutex m_mutex;
    std::condition_variable m_cambio;
    bool m_deteniendo = false;
    std::string m_claveEsperada;
    Modo m_modoActual = Modo::Normal;
    Modo m_modoFalla = Modo::Normal;
    int m_fallasRestantes = 0;
    std::chrono::milliseconds m_demoraRespuesta{0};
    std::optional<std::string> m_respuestaEnvio;
    std::chrono::milliseconds m_demoraEnvio{0};
    int m_contadorCola = 0;
    int m_contadorLibres = 50;
    int m_capacidadTotal = 50;
    std::map<std::string, std::string> m_respuestasFijas;
    int m_estadoHttp = 0;
    std::chrono::milliseconds m_goteo{0};
    std::uint64_t m_relleno = 0;
    std::deque<Mensaje> m_porEntregar;
    std::vector<Mensaje> m_tomados;
    std::vector<Peticion> m_registro;
    std::function<void(const Peticion &, const std::string &)> observar;
};

// UTF-8 to Latin-1 bytes, "?" for each character Latin-1 lacks.
std::string utf8ALatin1(const std::string &utf8);

} // namespace simulador
