// nbsms-simulador: the gateway stand-in as a program of its own, to try NBsms without the
// device. Listens on 127.0.0.1 unless told otherwise and logs every request it answers.

#include "tools/simulador/simulador_ngw.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#else
#include <windows.h>
#endif

namespace {

const char kAyuda[] =
    "Uso: nbsms-simulador [opciones]\n"
    "Simula el gateway de SMS: POST /cgi-bin/txsms.cgi y /cgi-bin/rxsms.cgi.\n"
    "\n"
    "  --port N            puerto (por defecto 8080; 0 = uno libre, que se informa)\n"
    "  --host DIR          dirección donde escuchar (por defecto 127.0.0.1)\n"
    "  --key CLAVE         clave esperada, sin \"key=\" (sin --key acepta cualquiera)\n"
    "  --sin-modulo        sin módulo GSM habilitado: estado \"0 0\", envíos \"2: NOGSM\"\n"
    "  --lleno             sin lugar: estado \"<capacidad> 0\", envíos \"1: FULL\"\n"
    "  --capacidad N       capacidad informada con --lleno (por defecto 50)\n"
    "  --contadores C,L    contadores del estado normal: en cola y libres (por defecto 0,50)\n"
    "  --clave-rechazada   responde \"3: DATA?\" a toda clave\n"
    "  --http-404          responde HTTP 404 a todo\n"
    "  --http-503          responde HTTP 503 a todo (un equipo que está arrancando)\n"
    "  --desconocido       responde una página que NBsms no conoce (otro equipo web)\n"
    "  --pedidos N         la falla elegida dura solo los primeros N pedidos\n"
    "  --estado-http N     responde con el estado HTTP N (500, 302...) y el cuerpo de siempre\n"
    "  --cerrar            cierra la conexión sin responder, tras leer el pedido\n"
    "  --nunca-responde    no responde nunca\n"
    "  --demora MS         espera MS milisegundos antes de cada respuesta\n"
    "  --respuesta-envio T toma cada mensaje pero responde el envío con el texto T\n"
    "  --demora-envio MS   toma cada mensaje pero responde el envío MS milisegundos después\n"
    "  --goteo MS          envía el cuerpo de a un byte cada MS milisegundos\n"
    "  --relleno BYTES     agrega BYTES de relleno (líneas de \"x\") a cada respuesta\n"
    "  --recibidos ARCHIVO mensajes a entregar, líneas \"número,texto\" (UTF-8)\n"
    "  --mensaje NUM,TEXTO un mensaje a entregar (se puede repetir)\n"
    "  --silencioso        no registra cada pedido\n"
    "  --help              muestra esta ayuda\n";

// One line for the log: control characters shown escaped.
std::string visible(const std::string &texto)
{
    std::string salida;
    for (char c : texto) {
        if (c == '\n')
            salida += "\\n";
        else if (c == '\r')
            salida += "\\r";
        else
            salida += c;
    }
    return salida;
}

bool leerEntero(const char *texto, int &valor)
{
    char *fin = nullptr;
    const long v = std::strtol(texto, &fin, 10);
    if (fin == texto || *fin != '\0' || v < 0 || v > 65535 * 1000L)
        return false;
    valor = static_cast<int>(v);
    return true;
}

bool leerTamano(const char *texto, std::uint64_t &valor)
{
    char *fin = nullptr;
    const unsigned long long v = std::strtoull(texto, &fin, 10);
    if (fin == texto || *fin != '\0' || *texto == '-')
        return false;
    valor = v;
    return true;
}

int fallar(const std::string &mensaje)
{
    std::fprintf(stderr, "nbsms-simulador: %s\n(--help muestra las opciones)\n", mensaje.c_str());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    int puerto = 8080;
    std::string host = "127.0.0.1";
    bool silencioso = false;
    int pedidosConFalla = 0;
    simulador::SimuladorNgw sim;

    for (int i = 1; i < argc; ++i) {
        const std::string opcion = argv[i];
        const bool hayValor = i + 1 < argc;
        auto valor = [&]() -> const char * { return argv[++i]; };
        if (opcion == "--help" || opcion == "-h") {
            std::fputs(kAyuda, stdout);
            return 0;
        } else if (opcion == "--port" && hayValor) {
            if (!leerEntero(valor(), puerto) || puerto > 65535)
                return fallar("puerto inválido");
        } else if (opcion == "--host" && hayValor) {
            host = valor();
        } else if (opcion == "--key" && hayValor) {
            sim.fijarClave(valor());
        } else if (opcion == "--sin-modulo") {
            sim.fijarModo(simulador::Modo::SinModulo);
        } else if (opcion == "--lleno") {
            sim.fijarModo(simulador::Modo::Lleno);
        } else if (opcion == "--capacidad" && hayValor) {
            int capacidad = 0;
            if (!leerEntero(valor(), capacidad))
                return fallar("capacidad inválida");
            sim.fijarCapacidad(capacidad);
        } else if (opcion == "--contadores" && hayValor) {
            const std::string par = valor();
            const auto coma = par.find(',');
            int cola = 0;
            int libres = 0;
            if (coma == std::string::npos || !leerEntero(par.substr(0, coma).c_str(), cola) ||
                !leerEntero(par.substr(coma + 1).c_str(), libres))
                return fallar("contadores inválidos, se espera C,L");
            sim.fijarContadores(cola, libres);
        } else if (opcion == "--clave-rechazada") {
            sim.fijarModo(simulador::Modo::ClaveRechazada);
        } else if (opcion == "--http-404") {
            sim.fijarModo(simulador::Modo::Http404);
        } else if (opcion == "--http-503") {
            sim.fijarModo(simulador::Modo::Http503);
        } else if (opcion == "--desconocido") {
            sim.fijarModo(simulador::Modo::Desconocido);
        } else if (opcion == "--pedidos" && hayValor) {
            if (!leerEntero(valor(), pedidosConFalla) || pedidosConFalla < 1)
                return fallar("pedidos inválidos, se espera un número mayor que 0");
        } else if (opcion == "--estado-http" && hayValor) {
            int estado = 0;
            if (!leerEntero(valor(), estado) || estado < 100 || estado > 599)
                return fallar("estado HTTP inválido, se espera 100-599");
            sim.fijarEstadoHttp(estado);
        } else if (opcion == "--goteo" && hayValor) {
            int ms = 0;
            if (!leerEntero(valor(), ms))
                return fallar("goteo inválido");
            sim.fijarGoteo(std::chrono::milliseconds(ms));
        } else if (opcion == "--relleno" && hayValor) {
            std::uint64_t bytes = 0;
            if (!leerTamano(valor(), bytes))
                return fallar("relleno inválido");
            sim.fijarRelleno(bytes);
        } else if (opcion == "--cerrar") {
            sim.fijarModo(simulador::Modo::Cerrar);
        } else if (opcion == "--nunca-responde") {
            sim.fijarModo(simulador::Modo::NuncaResponde);
        } else if (opcion == "--demora" && hayValor) {
            int ms = 0;
            if (!leerEntero(valor(), ms))
                return fallar("demora inválida");
            sim.fijarDemora(std::chrono::milliseconds(ms));
        } else if (opcion == "--respuesta-envio" && hayValor) {
            sim.fijarRespuestaEnvio(std::string(valor()));
        } else if (opcion == "--demora-envio" && hayValor) {
            int ms = 0;
            if (!leerEntero(valor(), ms))
                return fallar("demora de envío inválida");
            sim.fijarDemoraEnvio(std::chrono::milliseconds(ms));
        } else if (opcion == "--recibidos" && hayValor) {
            const char *ruta = valor();
            if (!sim.cargarRecibidos(ruta))
                return fallar(std::string("no se pudo leer ") + ruta);
        } else if (opcion == "--mensaje" && hayValor) {
            const std::string mensaje = valor();
            const auto coma = mensaje.find(',');
            if (coma == std::string::npos)
                return fallar("mensaje inválido, se espera NUM,TEXTO");
            sim.agregarRecibido(mensaje.substr(0, coma), mensaje.substr(coma + 1));
        } else if (opcion == "--silencioso") {
            silencioso = true;
        } else {
            return fallar("opción desconocida o sin valor: " + opcion);
        }
    }

    if (pedidosConFalla > 0) {
        sim.fijarFalla(sim.modo(), pedidosConFalla);
        sim.fijarModo(simulador::Modo::Normal);
    }

    if (!silencioso) {
        sim.fijarObservador([](const simulador::Peticion &p, const std::string &respuesta) {
            std::printf("%s %s [%s] -> %s\n", p.metodo.c_str(), p.ruta.c_str(), visible(p.cuerpo).c_str(),
                        visible(respuesta).c_str());
            std::fflush(stdout);
        });
    }

#ifndef _WIN32
    // Only the main thread takes the stop signals, and only through sigwait below.
    sigset_t senales;
    sigemptyset(&senales);
    sigaddset(&senales, SIGINT);
    sigaddset(&senales, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);
#else
    // Windows has no such signals: the main thread's message queue takes a close request
    // (QProcess::terminate, taskkill without /F) and Ctrl+C or the console's closing end it too.
    MSG mensaje;
    PeekMessageW(&mensaje, nullptr, 0, 0, PM_NOREMOVE);
    static DWORD hiloPrincipal = GetCurrentThreadId();
    SetConsoleCtrlHandler(
        [](DWORD) -> BOOL {
            PostThreadMessageW(hiloPrincipal, WM_CLOSE, 0, 0);
            return TRUE;
        },
        TRUE);
#endif

    const int elegido = sim.iniciar(host, puerto);
    if (elegido < 0) {
        std::fprintf(stderr, "nbsms-simulador: no se pudo escuchar en %s:%d\n", host.c_str(), puerto);
        return 1;
    }
    std::printf("nbsms-simulador escuchando en http://%s:%d/cgi-bin\n", host.c_str(), elegido);
    std::fflush(stdout);

#ifndef _WIN32
    int recibida = 0;
    sigwait(&senales, &recibida);
#else
    while (GetMessageW(&mensaje, nullptr, 0, 0) > 0 && mensaje.message != WM_CLOSE) {
    }
#endif
    sim.detener();
    std::printf("nbsms-simulador detenido\n");
    std::fflush(stdout);
    return 0;
}
