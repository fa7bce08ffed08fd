#pragma once
// The program's single link to the SMS gateway. It keeps the gateway's address and key,
// starts the three kinds of request, and condenses every reply into one integer state,
// `estado`, plus a busy flag, `ocupado`. The object lives in the interface thread, where all
// its requests are posted and all replies handled; the worker thread only claims the link
// (`enviarSms`, `obtenerSms`) and reads the two atomics. Each request is one `cliente_http`:
// posted once, never repeated, bounded in size and time; every transport failure, bad status or
// oversized reply ends in EST_CONEX_ERROR with its text in `error_conexion`.

#include "gateway/estados.h"
#include "gateway/registro_sms.h"

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

    // Stores key and address; starts nothing.
    void setConexion(const QString &clave, const QString &ip);
    // Stores the address and rebuilds `url_base`. An address that is not host[:port] (after
    // taking away "http://" and a final "/") is kept but never used: every request then ends
    // at once in EST_CONEX_ERROR, as does one with a key that protocolo_ngw::claveValida refuses.
    void setIp(const QString &ip);

    // Connection check, from the interface thread: claims the link, state -1, status query.
    // False (and nothing sent) when a request is already in flight.
    bool consultarEstado();
    // From any thread: claims the link in one atomic step (false if it is busy), keeps the
    // record in `sms_pendiente` and queues the room check to the object's thread; a reply
    // with room sends the record.
    bool enviarSms(const registro_sms &registro);
    // Room check for `sms_pendiente`; `estado` untouched.
    void consultarLugar();
    // Posts the send request of `registro`: state 1, the locale's codec becomes UTF-8.
    bool transmitirSms(const registro_sms &registro);
    // From any thread, with the same claiming rule as enviarSms: state 4 and the fetch of
    // received messages.
    bool obtenerSms();

    int getEstado() const;
    // Values -1..10 only; any other is refused with "estado= INVALIDO".
    void setEstado(int valor);
    bool isOcupado() const;

    // Runs on the connection's thread right after a send or fetch reply has been classified,
    // while the link is still claimed: what the reply means (a record to mark "E", messages to
    // count) is settled there, before a quit, a kill or a connection update can come between.
    void fijarAlCompletar(std::function<void()> accion);

    // Longest silence within a request (connecting, sending, between reply bytes) and longest
    // whole request, in milliseconds; either ends it like a network error.
    void setTiempoLimite(int ms);
    int tiempoLimite() const { return limiteMs; }
    void setPlazoTotal(int ms);
    int plazoTotal() const { return plazoMs; }

    // Received messages that could be stored neither in the chosen file nor in the default
    // one; they are written before anything newer, and no fetch starts while any remain.
    int recibidosEnEspera() const { return retenidos.size(); }

    QString error_conexion;
    // Lines for the errors file that are not network errors (received messages stored
    // elsewhere or held back), oldest first; the window's poll writes and removes them. Only
    // the interface thread touches it; the oldest go beyond kMaxErroresPendientes.
    QStringList erroresPendientes;
    QString clave;
    QString url_base;
    QString ip;
    std::atomic<int> estado;
    std::atomic<bool> ocupado;
    registro_sms sms_pendiente;
    // Received messages stored since the worker last took the count (exchange with 0); added
    // to before the state that ends a fetch, so the worker sees them at EST_CONEX_GET_SMS_OK.
    std::atomic<int> ultimosRecibidos{0};

    static constexpr int kTiempoLimiteDefecto = 30000;
    static constexpr int kPlazoTotalDefecto = 60000;
    // Replies are a few hundred bytes, a fetch of ten messages a few KB.
    static constexpr qint64 kLimiteRespuesta = 1024 * 1024;
    static constexpr int kMaxErroresPendientes = 100;

private slots:
    void replyStatsFinished(cliente_http *reply);
    void replyGetSmsFinished(cliente_http *reply);
    void errorConexion_TO(QNetworkReply::NetworkError);
    void replySmsToNGW(cliente_http *reply);
    void replyHayLugarParaSMS(cliente_http *reply);

private:
    using Manejador = void (conexion_ngw::*)(cliente_http *);

    // Test-and-set of `ocupado`: true when this call took the link.
    bool reclamar();
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
    // Writes the held-back received messages; `nuevos` of them came with this fetch.
    void guardarRecibidos(int nuevos);
    void agregarErrorPendiente(const QString &linea);

    std::function<void()> alCompletar;
    bool direccionValida = false;
    int limiteMs = kTiempoLimiteDefecto;
    int plazoMs = kPlazoTotalDefecto;
    QList<registro_sms> retenidos;
};
