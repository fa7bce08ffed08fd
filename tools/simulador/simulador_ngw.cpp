#include "tools/simulador/simulador_ngw.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <fstream>

#ifndef _WIN32
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace simulador {

namespace {

const char kRutaTx[] = "/cgi-bin/txsms.cgi";
const char kRutaRx[] = "/cgi-bin/rxsms.cgi";
const char kOk[] = "0: OK\n";
const char kDatos[] = "3: DATA?\n";
const char kSinGsm[] = "2: NOGSM\n";
const char kLleno[] = "1: FULL\n";
const char kSinSms[] = "1: NOSMS\n";
const char kPrefijoClave[] = "key=";
const char kPaginaAjena[] = "<html><body><h1>It works!</h1></body></html>\n";
constexpr int kMaximoPorEntrega = 10;

bool terminaEn(const std::string &texto, const std::string &fin)
{
    return texto.size() >= fin.size() && texto.compare(texto.size() - fin.size(), fin.size(), fin) == 0;
}

std::string minusculas(std::string texto)
{
    std::transform(texto.begin(), texto.end(), texto.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return texto;
}

int puertoDe(const sockaddr_storage &direccion)
{
    if (direccion.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(direccion).sin_port);
    if (direccion.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(direccion).sin6_port);
    return -1;
}

// Drops the connection of `req` without writing anything. The server hands handlers no
// socket, so it is found by its two ports among the process's descriptors (on Windows, sockets
// are handles: among the process's handle values).
void cerrarSinRespuesta(const httplib::Request &req)
{
#ifndef _WIN32
    using Socket = int;
    using Largo = socklen_t;
    const long limite = std::min(::sysconf(_SC_OPEN_MAX), 65536L);
    const long paso = 1;
    const long primero = 0;
    const int ambos = SHUT_RDWR;
#else
    using Socket = SOCKET;
    using Largo = int;
    const long limite = 1L << 16;
    const long paso = 4;
    const long primero = 4;
    const int ambos = SD_BOTH;
#endif
    for (long valor = primero; valor < limite; valor += paso) {
        const Socket s = static_cast<Socket>(valor);
        sockaddr_storage local{};
        sockaddr_storage remoto{};
        Largo largoLocal = sizeof local;
        Largo largoRemoto = sizeof remoto;
        if (::getsockname(s, reinterpret_cast<sockaddr *>(&local), &largoLocal) != 0)
            continue;
        if (::getpeername(s, reinterpret_cast<sockaddr *>(&remoto), &largoRemoto) != 0)
            continue;
        if (puertoDe(local) == req.local_port && puertoDe(remoto) == req.remote_port) {
            ::shutdown(s, ambos);
            return;
        }
    }
}

} // namespace

std::string Peticion::cabecera(const std::string &nombre) const
{
    const std::string buscado = minusculas(nombre);
    for (const auto &c : cabeceras) {
        if (minusculas(c.first) == buscado)
            return c.second;
    }
    return std::string();
}

std::string utf8ALatin1(const std::string &utf8)
{
    std::string salida;
    salida.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t codigo = 0;
        std::size_t largo = 1;
        if (c < 0x80) {
            codigo = c;
        } else if ((c & 0xE0) == 0xC0) {
            codigo = c & 0x1F;
            largo = 2;
        } else if ((c & 0xF0) == 0xE0) {
            codigo = c & 0x0F;
            largo = 3;
        } else if ((c & 0xF8) == 0xF0) {
            codigo = c & 0x07;
            largo = 4;
        } else {
            salida += '?';
            ++i;
            continue;
        }
        if (i + largo > utf8.size()) {
            salida += '?';
            break;
        }
        for (std::size_t k = 1; k < largo; ++k)
            codigo = (codigo << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        salida += codigo <= 0xFF ? static_cast<char>(codigo) : '?';
        i += largo;
    }
    return salida;
}

SimuladorNgw::SimuladorNgw(std::string clave) : m_claveEsperada(std::move(clave)) {}

SimuladorNgw::~SimuladorNgw()
{
    detener();
}

int SimuladorNgw::iniciar(const std::string &host, int puerto)
{
    detener();
#ifndef _WIN32
    // A client that hangs up while a reply is written must not end the whole process.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    {
        std::lock_guard<std::mutex> candado(m_mutex);
        m_deteniendo = false;
    }
    m_servidor = std::make_unique<httplib::Server>();
    // Idle connections are dropped soon, so that stopping never waits long for them.
    m_servidor->set_keep_alive_timeout(1);
    // Headers and body leave in separate writes: without this each reply waits for a delayed ACK.
    m_servidor->set_tcp_nodelay(true);
    auto manejador = [this](const httplib::Request &req, httplib::Response &res) { atender(req, res); };
    m_servidor->Post(".*", manejador);
    m_servidor->Get(".*", manejador);

    const int elegido = puerto == 0 ? m_servidor->bind_to_any_port(host)
                                    : (m_servidor->bind_to_port(host, puerto) ? puerto : -1);
    if (elegido < 0) {
        m_servidor.reset();
        return -1;
    }
    httplib::Server *s = m_servidor.get();
    m_hilo = std::thread([s] { s->listen_after_bind(); });
    // stop() only reaches a server that is already listening.
    while (!s->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> candado(m_mutex);
    m_puertoActivo = elegido;
    return elegido;
}

void SimuladorNgw::detener()
{
    {
        std::lock_guard<std::mutex> candado(m_mutex);
        m_deteniendo = true;
        m_puertoActivo = -1;
    }
    m_cambio.notify_all();
    if (m_servidor)
        m_servidor->stop();
    if (m_hilo.joinable())
        m_hilo.join();
    m_servidor.reset();
}

int SimuladorNgw::puerto() const
{
    std::lock_guard<std::mutex> candado(m_mutex);
    return m_puertoActivo;
}

void SimuladorNgw::fijarClave(const std::string &clave)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_claveEsperada = clave;
}

void SimuladorNgw::fijarModo(Modo modo)
{
    {
        std::lock_guard<std::mutex> candado(m_mutex);
        m_modoActual = modo;
    }
    m_cambio.notify_all();
}

Modo SimuladorNgw::modo() const
{
    std::lock_guard<std::mutex> candado(m_mutex);
    return m_modoActual;
}

void SimuladorNgw::fijarFalla(Modo modo, int pedidos)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_modoFalla = modo;
    m_fallasRestantes = std::max(pedidos, 0);
}

int SimuladorNgw::fallasPendientes() const
{
    std::lock_guard<std::mutex> candado(m_mutex);
    return m_fallasRestantes;
}

void SimuladorNgw::fijarDemora(std::chrono::milliseconds demora)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_demoraRespuesta = demora;
}

void SimuladorNgw::fijarRespuestaEnvio(std::optional<std::string> texto)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_respuestaEnvio = std::move(texto);
}

void SimuladorNgw::fijarDemoraEnvio(std::chrono::milliseconds demora)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_demoraEnvio = demora;
}

void SimuladorNgw::fijarContadores(int enCola, int libres)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_contadorCola = enCola;
    m_contadorLibres = libres;
}

void SimuladorNgw::fijarCapacidad(int capacidad)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_capacidadTotal = capacidad;
}

void SimuladorNgw::fijarRespuesta(const std::string &ruta, std::optional<std::string> cuerpo)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    if (cuerpo)
        m_respuestasFijas[ruta] = *cuerpo;
    else
        m_respuestasFijas.erase(ruta);
}

void SimuladorNgw::fijarEstadoHttp(int estado)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_estadoHttp = estado;
}

void SimuladorNgw::fijarGoteo(std::chrono::milliseconds intervalo)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_goteo = intervalo;
}

void SimuladorNgw::fijarRelleno(std::uint64_t bytes)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_relleno = bytes;
}

void SimuladorNgw::agregarRecibido(const std::string &numero, const std::string &texto)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_porEntregar.push_back(Mensaje{numero, texto});
}

bool SimuladorNgw::cargarRecibidos(const std::string &ruta)
{
    std::ifstream archivo(ruta, std::ios::binary);
    if (!archivo)
        return false;
    std::string linea;
    while (std::getline(archivo, linea)) {
        if (!linea.empty() && linea.back() == '\r')
            linea.pop_back();
        const auto coma = linea.find(',');
        if (coma == std::string::npos)
            continue;
        agregarRecibido(linea.substr(0, coma), linea.substr(coma + 1));
    }
    return true;
}

std::size_t SimuladorNgw::recibidosPendientes() const
{
    std::lock_guard<std::mutex> candado(m_mutex);
    return m_porEntregar.size();
}

std::vector<Mensaje> SimuladorNgw::enviados() const
{
    std::lock_guard<std::mutex> candado(m_mutex);
    return m_tomados;
}

std::vector<Peticion> SimuladorNgw::peticiones() const
{
    std::lock_guard<std::mutex> candado(m_mutex);
    return m_registro;
}

void SimuladorNgw::limpiar()
{
    std::lock_guard<std::mutex> candado(m_mutex);
    m_registro.clear();
    m_tomados.clear();
    m_porEntregar.clear();
}

void SimuladorNgw::fijarObservador(std::function<void(const Peticion &, const std::string &)> observador)
{
    std::lock_guard<std::mutex> candado(m_mutex);
    observar = std::move(observador);
}

bool SimuladorNgw::esperar(std::chrono::milliseconds demora)
{
    std::unique_lock<std::mutex> candado(m_mutex);
    return !m_cambio.wait_for(candado, demora, [this] { return m_deteniendo; });
}

bool SimuladorNgw::claveValida(const std::string &clave) const
{
    return m_claveEsperada.empty() || clave == m_claveEsperada;
}

void SimuladorNgw::atender(const httplib::Request &req, httplib::Response &res)
{
    Peticion p;
    p.metodo = req.method;
    p.ruta = req.path;
    for (const auto &c : req.headers)
        p.cabeceras.emplace_back(c.first, c.second);
    p.cuerpo = req.body;

    Modo modo;
    std::chrono::milliseconds demora;
    std::optional<std::string> fija;
    int estadoFijo;
    std::chrono::milliseconds intervalo;
    std::uint64_t extra;
    {
        std::lock_guard<std::mutex> candado(m_mutex);
        m_registro.push_back(p);
        modo = m_modoActual;
        if (m_fallasRestantes > 0) {
            modo = m_modoFalla;
            --m_fallasRestantes;
        }
        demora = m_demoraRespuesta;
        estadoFijo = m_estadoHttp;
        intervalo = m_goteo;
        extra = m_relleno;
        const auto it = m_respuestasFijas.find(req.path);
        if (it != m_respuestasFijas.end())
            fija = it->second;
    }

    if (demora.count() > 0 && !esperar(demora)) {
        res.status = 503;
        return;
    }
    if (modo == Modo::NuncaResponde) {
        std::unique_lock<std::mutex> candado(m_mutex);
        m_cambio.wait(candado, [this] { return m_deteniendo || m_modoActual != Modo::NuncaResponde; });
        if (m_deteniendo) {
            candado.unlock();
            cerrarSinRespuesta(req);
            return;
        }
        modo = m_modoActual;
    }
    if (modo == Modo::Cerrar) {
        cerrarSinRespuesta(req);
        return;
    }

    std::string cuerpo;
    if (modo == Modo::Http503) {
        res.status = 503;
        cuerpo = "Service Unavailable\n";
    } else if (modo == Modo::Desconocido) {
        cuerpo = kPaginaAjena;
    } else if (modo == Modo::Http404 || req.method != "POST" ||
               (req.path != kRutaTx && req.path != kRutaRx)) {
        res.status = 404;
        cuerpo = "Not Found\n";
    } else if (fija) {
        cuerpo = *fija;
    } else if (req.path == kRutaTx) {
        cuerpo = responderTx(req.body);
        std::chrono::milliseconds tarda{0};
        {
            std::lock_guard<std::mutex> candado(m_mutex);
            if (req.body.find("&num=") != std::string::npos)
                tarda = m_demoraEnvio;
        }
        // Taken already: a client that stops waiting meanwhile does not undo it.
        if (tarda.count() > 0 && !esperar(tarda)) {
            cerrarSinRespuesta(req);
            return;
        }
    } else {
        cuerpo = responderRx(req.body);
    }
    if (estadoFijo > 0) {
        res.status = estadoFijo;
        if (estadoFijo >= 300 && estadoFijo < 400)
            res.set_header("Location", "http://otro.invalid/cgi-bin/txsms.cgi");
    }
    const char tipo[] = "text/plain; charset=ISO-8859-1";
    if (intervalo.count() > 0 || extra > 0) {
        // Filler: lines of 63 "x" and a line feed.
        auto byteEn = [cuerpo](std::uint64_t i) {
            if (i < cuerpo.size())
                return cuerpo[static_cast<std::size_t>(i)];
            return (i - cuerpo.size()) % 64 == 63 ? '\n' : 'x';
        };
        const std::uint64_t total = cuerpo.size() + extra;
        res.set_content_provider(
            static_cast<std::size_t>(total), tipo,
            [this, byteEn, intervalo, total](std::size_t desde, std::size_t, httplib::DataSink &sink) {
                if (intervalo.count() > 0) {
                    if (!esperar(intervalo))
                        return false;
                    const char c = byteEn(desde);
                    return sink.write(&c, 1);
                }
                std::string trozo;
                for (std::uint64_t i = desde; i < total && trozo.size() < 65536; ++i)
                    trozo += byteEn(i);
                return sink.write(trozo.data(), trozo.size());
            });
    } else {
        res.set_content(cuerpo, tipo);
    }

    std::function<void(const Peticion &, const std::string &)> observador;
    {
        std::lock_guard<std::mutex> candado(m_mutex);
        observador = observar;
    }
    if (observador)
        observador(p, cuerpo);
}

std::string SimuladorNgw::responderTx(const std::string &cuerpo)
{
    if (cuerpo.rfind(kPrefijoClave, 0) != 0)
        return kDatos;
    const std::string resto = cuerpo.substr(sizeof kPrefijoClave - 1);
    std::lock_guard<std::mutex> candado(m_mutex);

    if (terminaEn(resto, "&stat")) {
        const std::string clave = resto.substr(0, resto.size() - 5);
        if (m_modoActual == Modo::ClaveRechazada || !claveValida(clave))
            return kDatos;
        if (m_modoActual == Modo::SinModulo)
            return std::string(kOk) + "0 0\n";
        if (m_modoActual == Modo::Lleno)
            return std::string(kOk) + std::to_string(m_capacidadTotal) + " 0\n";
        return std::string(kOk) + std::to_string(m_contadorCola) + ' ' + std::to_string(m_contadorLibres) +
               '\n';
    }

    const auto num = resto.find("&num=");
    if (num == std::string::npos)
        return kDatos;
    const std::string clave = resto.substr(0, num);
    const auto msg = resto.find("&msg=", num + 5);
    if (msg == std::string::npos)
        return kDatos;
    if (m_modoActual == Modo::ClaveRechazada || !claveValida(clave))
        return kDatos;
    if (m_modoActual == Modo::SinModulo)
        return kSinGsm;
    if (m_modoActual == Modo::Lleno)
        return kLleno;
    m_tomados.push_back(Mensaje{resto.substr(num + 5, msg - num - 5), resto.substr(msg + 5)});
    return m_respuestaEnvio ? *m_respuestaEnvio : std::string(kOk);
}

std::string SimuladorNgw::responderRx(const std::string &cuerpo)
{
    if (cuerpo.rfind(kPrefijoClave, 0) != 0)
        return kDatos;
    const std::string resto = cuerpo.substr(sizeof kPrefijoClave - 1);
    const auto max = resto.rfind("&max=");
    if (max == std::string::npos)
        return kDatos;
    const std::string clave = resto.substr(0, max);
    int cuantos = kMaximoPorEntrega;
    try {
        cuantos = std::stoi(resto.substr(max + 5));
    } catch (...) {
        return kDatos;
    }
    cuantos = std::clamp(cuantos, 1, kMaximoPorEntrega);

    std::lock_guard<std::mutex> candado(m_mutex);
    if (m_modoActual == Modo::ClaveRechazada || !claveValida(clave))
        return kDatos;
    if (m_modoActual == Modo::SinModulo)
        return kSinGsm;
    if (m_porEntregar.empty())
        return kSinSms;
    std::string respuesta = kOk;
    for (int i = 0; i < cuantos && !m_porEntregar.empty(); ++i) {
        const Mensaje &m = m_porEntregar.front();
        respuesta += m.numero + ',' + utf8ALatin1(m.texto) + '\n';
        m_porEntregar.pop_front();
    }
    return respuesta;
}

} // namespace simulador
