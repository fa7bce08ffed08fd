#include "envio/threads.h"

#include "ajustes/ajustes.h"
#include "envio/reglas_envio.h"
#include "gateway/conexion_ngw.h"
#include "gateway/recibidos.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// A fetch of received messages starts after more than this many counted cycles.
constexpr int kCiclosEntreRecepciones = 10;
constexpr int kTramoPausaMs = 100;

void descontarPendiente(std::atomic<int> &pendientes)
{
    int actual = pendientes.load();
    while (actual > 0 && !pendientes.compare_exchange_weak(actual, actual - 1)) {
    }
}

} // namespace

threads::threads(const QString &clave, const QString &ip, const QString &archivoSalidas)
    : QObject(nullptr), comando(EST_INICIO), conexion(nullptr), enviados(0), pendientes(0), recibidos(0),
      archivoSalidas(archivoSalidas), posLinea(0), contadorCiclos(0),
      reloj([] { return QDateTime::currentDateTime(); }), vueltas(0)
{
    qDebug() << "<-------------TEST TAREAS - CONSTRUCTOR!!------------------>";
    // The owner waits for the loop to end and deletes the worker and its connection together.
    setAutoDelete(false);
    conexion = new conexion_ngw(clave, ip);
    conexion->fijarAlCompletar([this] { completarPendiente(); });
    contarRecibidos();
    contarPendientes();
    contarEnviados();
}

threads::~threads()
{
    qDebug() << "<-------------TEST TAREAS - DESTRUCTOR!------------------>";
    delete conexion;
}

void threads::run()
{
    qDebug() << "TEST TAREAS";
    corriendo = true;
    for (;;) {
        vueltas += 1;
        if (comando == EST_PLAY)
            procesarCiclo();
        if (comando == EST_SALIR) {
            qDebug() << "TEST TAREAS - EST_SALIR";
            break;
        }
        std::fflush(stdout);
        pausar(1);
    }
    // A reply that could not be marked at once gets one more try before the program ends.
    if (!conexion->isOcupado())
        completarPendiente();
    corriendo = false;
}

void threads::fijarComando(int valor)
{
    QMutexLocker bloqueo(&mutexPausa);
    comando = valor;
    despertar.wakeAll();
}

void threads::pausar(int segundos)
{
    // A monotonic deadline: a clock set back (or a change of day) neither stretches nor cuts
    // the pause. Events are taken in slices without waiting on a timer of this thread: once
    // the application object is being torn down no timer event is delivered any more, and a
    // pause that waited for one would keep the program from ending.
    const QDeadlineTimer fin(qint64(segundos) * 1000);
    QEventLoop bucle;
    while (!fin.hasExpired()) {
        bucle.processEvents(QEventLoop::AllEvents);
        QMutexLocker bloqueo(&mutexPausa);
        if (comando == EST_SALIR)
            return;
        despertar.wait(&mutexPausa, QDeadlineTimer(std::min<qint64>(kTramoPausaMs, fin.remainingTime())));
    }
    bucle.processEvents(QEventLoop::AllEvents);
}

bool threads::completarPendiente()
{
    // The state is read and freed under the outbox lock, so that the two threads never finish
    // the same reply twice (a second mark could hit an identical pending line).
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    const int estado = conexion->getEstado();
    if (estado == EST_CONEX_SEND_SMS_OK) {
        switch (outbox::marcarEnviado(archivoSalidas, posLinea, lineaEnviada)) {
        case outbox::ResultadoMarca::NoAbre:
        case outbox::ResultadoMarca::FalloEscritura:
            return false;
        case outbox::ResultadoMarca::Marcada:
            enviados += 1;
            descontarPendiente(pendientes);
            break;
        case outbox::ResultadoMarca::NoEncontrada:
            qDebug() << "outbox - registro enviado no encontrado, no se marca";
            break;
        }
        conexion->setEstado(EST_CONEX_LIBRE);
    } else if (estado == EST_CONEX_GET_SMS_OK) {
        recibidos += conexion->ultimosRecibidos.exchange(0);
        std::printf("EST_CONEX_GET_SMS_OK num= %d\n", recibidos.load());
        std::fflush(stdout);
        conexion->setEstado(EST_CONEX_LIBRE);
    }
    return true;
}

// 1. Nothing while the connection is busy or its state unknown; otherwise the cycle counts.
// 2. A reply whose mark or count could not be finished when it arrived is finished now.
// 3. Any other state than free ends the cycle: it waits for the operator's update.
// 4. After more than 10 counted cycles, fetch received messages (at any hour).
// 5. Within the allowed hours, hand the first due pending record to the connection.
void threads::procesarCiclo()
{
    if (conexion->isOcupado() || conexion->getEstado() == EST_CONEX_UNKNOW)
        return;
    contadorCiclos += 1;

    if (!completarPendiente() || conexion->getEstado() != EST_CONEX_LIBRE) {
        std::fflush(stdout);
        return;
    }
    if (contadorCiclos > kCiclosEntreRecepciones) {
        // Claimed by the window meanwhile: try again at the next free cycle.
        if (conexion->obtenerSms())
            contadorCiclos = 0;
        return;
    }
    if (!horarioPermitido())
        return;

    outbox::Pendiente pendiente;
    const QDate hoy = reloj().date();
    const auto vencida = [&hoy](const char *fecha, int largo) {
        return reglas_envio::fechaVencida(fecha, largo, hoy);
    };
    if (outbox::buscarPendiente(archivoSalidas, vencida, pendiente) ==
        outbox::ResultadoBusqueda::Encontrado) {
        registro_sms registro;
        registro.numero = pendiente.numero;
        registro.fecha = pendiente.fecha;
        registro.mensaje = pendiente.mensaje;
        posLinea = pendiente.posicion;
        lineaEnviada = pendiente.linea;
        if (conexion->enviarSms(registro))
            qDebug() << "outbox - DETECTA ENVIAR!!! <--<<";
    }
    std::fflush(stdout);
}

void threads::contarRecibidos()
{
    // The path and default the received-messages writer uses.
    int cuenta = 0;
    outbox::contarLineas(::recibidos::rutaArchivo(), cuenta);
    recibidos = cuenta;
    qDebug() << "inbox= " << cuenta;
}

void threads::contarPendientes()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    int cuenta = 0;
    outbox::contarPorEstado(archivoSalidas, 'e', cuenta);
    pendientes = cuenta;
    qDebug() << "outbox= " << cuenta;
}

void threads::contarEnviados()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    int cuenta = 0;
    outbox::contarPorEstado(archivoSalidas, 'E', cuenta);
    enviados = cuenta;
    qDebug() << "enviados= " << cuenta;
}

bool threads::fechaVencida(const QString &fecha) const
{
    return reglas_envio::fechaVencida(fecha, reloj().date());
}

bool threads::horarioPermitido() const
{
    const int mascara = ajustes::leerEntero(ajustes::Clave::CheckHorarios);
    return reglas_envio::horarioPermitido(mascara, reloj().time());
}
