#pragma once
// The program's single link to the SMS gateway. It keeps the gateway's address and key,
// starts the three kinds of request, and condenses every reply into one integer state
// (getEstado) plus a busy flag (isOcupado). The object lives in the interface thread, where all
// its requests are posted and all replies handled; the worker thread only claims the link
// (`enviarSms`, `obtenerSms`) and reads the two atomics. Each request is one `cliente_http`:
// posted once, never repeated, bounded in size and time; every transport failure, bad status or
// oversized reply ends in EST_CONEX_ERROR with its text. What a request came to is told once, by
// `terminado`, with one value.

#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/registro_sms.h"
#include "gateway/resultado_pedido.h"

#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class cliente_http;

class conexion_ngw : public QObject
{
    Q_OBJECT

public:
    // No parent. Starts a connection check at once when both key and address are given.
    conexion_ngw(const QString &clave, const QString &ip);
    ~conexion_ngw() override;

    // The gateway to talk to from the next request on; starts nothing. An address that is not
    // host[:port] is kept but never used: every request then ends at once in EST_CONEX_ERROR, as
    // does one with a key that protocolo_ngw::claveValida refuses.
    void fijarGateway(const protocolo_ngw::Gateway &gateway);
    // The same through protocolo_ngw::gatewayDe.
    void setConexion(const QString &clave, const QString &ip);
    void setIp(const QString &ip);

    // Connection check, from the interface thread: claims the link, state -1, status query.
    // False (and nothing sent) when a request is already in flight.
    bool consultarEstado();
    // From any thread: the same status query as the retry after the connection gave up, in which
    // a gateway with no free place stays EST_CONEX_SIN_LUGAR.
    bool reintentar();
    // From any thread: claims the link in one atomic step (false if it is busy), keeps the
    // record and queues the room check to the object's thread; a reply with room sends it.
    // Back to back (fijarEnvioSeguido), the record is sent without a room check while the room
    // the last one reported, less the messages taken since, is not used up.
    bool enviarSms(const registro_sms &registro);
    // From any thread: sends go back to back, as above (off: a room check before every send).
    void fijarEnvioSeguido(bool seguido) { m_seguido = seguido; }
    // Room check for the record kept by enviarSms; the state untouched.
    void consultarLugar();
    // Posts the send request of `registro`: state 1, the locale's codec becomes UTF-8.
    bool transmitirSms(const registro_sms &registro);
    // From any thread, with the same claiming rule as enviarSms: state 4 and the fetch of
    // received messages.
    bool obtenerSms();
    // From any thread, once the program is ending: no send or fetch is started any more, and a
    // room check in flight does not go on to the send (its record stays pending), so what is
    // waited for at the end is one request at the most.
    void detener() { m_deteniendo = true; }

    int getEstado() const;
    // Values -1..10 only; any other is refused with "estado= INVALIDO".
    void setEstado(int valor);
    bool isOcupado() const;
    // No address is stored: nothing to ask, so no request starts (not even a retry) and the state
    // stays EST_CONEX_UNKNOW until the operator gives one. Any thread.
    bool sinDireccion() const { return m_sinDireccion; }
    // Requests ended so far, counted before the link is freed: a change tells the worker that a
    // request ended (and, in a given-up state, failed) since it last looked.
    unsigned pedidosTerminados() const { return m_terminados; }

    // What the last send attempt (room check and send) says about its record. A send reply that
    // is not understood also ends in EST_CONEX_ERROR with its text, as does a fetch reply that
    // is not.
    protocolo_ngw::Desenlace desenlace() const { return m_desenlace; }

    // Longest silence within a request (connecting, sending, between reply bytes) and longest
    // whole request, in milliseconds; either ends it like a network error.
    void fijarTiempoLimite(int ms);
    int tiempoLimite() const { return m_limiteMs; }
    void fijarPlazoTotal(int ms);
    int plazoTotal() const { return m_plazoMs; }

    QString clave() const { return m_gateway.clave; }
    QString ip() const { return m_gateway.direccion; }

    // Received messages that could be stored neither in the chosen file nor in the default
    // one; they are written before anything newer, and no fetch starts while any remain.
    int recibidosEnEspera() const { return m_retenidos.size(); }
    // In the object's thread, at the end of the program: one more try to store them. What was
    // stored comes back as a fetch's would; what is still held goes to `sinGuardar`.
    ResultadoPedido guardarRetenidos(QList<registro_sms> &sinGuardar);

    // The text of the last failure (interface thread).
    QString errorConexion() const { return m_errorConexion; }

signals:
    // One request has ended, its reply classified, the link still claimed: told once per request
    // on the connection's thread. Connected directly, what it means for a record (the mark "E",
    // the hold) is settled before a quit, a kill or a connection update can come between.
    void terminado(const ResultadoPedido &resultado);

public:
    static constexpr int kTiempoLimiteDefecto = 30000;
    static constexpr int kPlazoTotalDefecto = 60000;
    // Replies are a few hundred bytes, a fetch of ten messages a few KB.
    static constexpr qint64 kLimiteRespuesta = 1024 * 1024;

private slots:
    void replyStatsFinished(cliente_http *reply);
    void replyGetSmsFinished(cliente_http *reply);
    void errorConexion_TO(QNetworkReply::NetworkError);
    void replySmsToNGW(cliente_http *reply);
    void replyHayLugarParaSMS(cliente_http *reply);

private:
    using Manejador = void (conexion_ngw::*)(cliente_http *);

    // Test-and-set of the busy flag: true when this call took the link.
    bool reclamar();
    // The end of every request: told, counted, then the link is free.
    void terminar();
    bool consultar(bool reintento);
    // Runs `accion` now when called on the object's thread, else queues it there.
    void enHiloPropio(std::function<void()> accion);
    cliente_http *nuevoPedido(Manejador manejador);
    // With an unusable address or key: ends the request at once through `manejador` as failed,
    // before any body is built, and answers true.
    bool rechazarPedido(Manejador manejador);
    void publicar(const QUrl &url, const QByteArray &cuerpo, Manejador manejador);
    void fijarEstado(int valor);
    // Common start of every handler: entry or error line, error text kept, state 8 on error;
    // returns the whole body (empty after an error).
    QByteArray abrirRespuesta(cliente_http *reply, const char *lineaEntrada, const char *lineaError);
    // Writes the held-back received messages into `resultado`; `nuevos` of them came with this
    // fetch.
    void guardarRecibidos(int nuevos, ResultadoPedido &resultado);
    // A new request of this kind: what it comes to starts empty.
    void empezar(ResultadoPedido::Tipo tipo);
    // A 2xx reply whose text says nothing the program knows: a failure with that text.
    void noReconocida(const QString &texto, int codigoHttp);

    QString m_errorConexion;
    // What the request in flight comes to (object's thread only).
    ResultadoPedido m_resultado;
    protocolo_ngw::Gateway m_gateway;
    QString m_urlBase;
    std::atomic<int> m_estado{EST_CONEX_UNKNOW};
    std::atomic<bool> m_ocupado{false};
    std::atomic<bool> m_deteniendo{false};
    std::atomic<bool> m_sinDireccion{true};
    std::atomic<unsigned> m_terminados{0};
    std::atomic<bool> m_seguido{false};
    // Room for sends as the last room check reported it, less each message taken since; 0 after
    // any failure or other check (object's thread only).
    qint64 m_lugar = 0;
    // The status query in flight is a retry (object's thread only).
    bool m_esReintento = false;
    protocolo_ngw::Desenlace m_desenlace = protocolo_ngw::Desenlace::NadaTomado;
    registro_sms m_smsPendiente;
    int m_limiteMs = kTiempoLimiteDefecto;
    int m_plazoMs = kPlazoTotalDefecto;
    QList<registro_sms> m_retenidos;
};
