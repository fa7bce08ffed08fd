#pragma once
// The program's single link to the SMS gateway. It keeps the gateway's address and key,
// starts the three kinds of request, and condenses every reply into one integer state,
// `estado`, plus a busy flag, `ocupado`. The object lives in the interface thread, where all
// its requests are posted and all replies handled; the worker thread only claims the link
// (`enviarSms`, `obtenerSms`) and reads the two atomics.

#include "gateway/estados.h"
#include "gateway/registro_sms.h"

#include <QNetworkReply>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QNetworkAccessManager;

class conexion_ngw : public QObject
{
    Q_OBJECT

public:
    // No parent. Starts a connection check at once when both key and address are given.
    conexion_ngw(const QString &clave, const QString &ip);
    ~conexion_ngw() override;

    // Stores key and address; starts nothing.
    void setConexion(const QString &clave, const QString &ip);
    // Stores the address and rebuilds `url_base`.
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

    // Transfer time-out of every request, in milliseconds; it ends like a network error.
    void setTiempoLimite(int ms);
    int tiempoLimite() const { return limiteMs; }

    QString error_conexion;
    QString clave;
    QString url_base;
    QString ip;
    std::atomic<int> estado;
    std::atomic<bool> ocupado;
    registro_sms sms_pendiente;
    // Messages the last fetch stored in the received-messages file; written before the state
    // that ends the fetch, so the worker reads it once it sees EST_CONEX_GET_SMS_OK.
    std::atomic<int> ultimosRecibidos{0};

    static constexpr int kTiempoLimiteDefecto = 30000;

private slots:
    void replyStatsFinished(QNetworkReply *reply);
    void replyGetSmsFinished(QNetworkReply *reply);
    void errorConexion_TO(QNetworkReply::NetworkError);
    void replySmsToNGW(QNetworkReply *reply);
    void replyHayLugarParaSMS(QNetworkReply *reply);

private:
    using Manejador = void (conexion_ngw::*)(QNetworkReply *);

    // Test-and-set of `ocupado`: true when this call took the link.
    bool reclamar();
    // Runs `accion` now when called on the object's thread, else queues it there.
    void enHiloPropio(std::function<void()> accion);
    void publicar(const QUrl &url, const QByteArray &cuerpo, Manejador manejador);
    void fijarEstado(int valor);
    // Common start of every handler: entry or error line, error text kept, state 8 on error;
    // returns the whole body.
    QByteArray abrirRespuesta(QNetworkReply *reply, const char *lineaEntrada, const char *lineaError);

    QNetworkAccessManager *red = nullptr;
    std::function<void()> alCompletar;
    int limiteMs = kTiempoLimiteDefecto;
};
