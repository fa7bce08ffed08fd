#pragma once
// One POST to the gateway and its reply, over a plain TCP socket. The gateway may act on a
// request it never answered, so a request goes out exactly once: one request per object,
// "Connection: close", no retry, no redirect, no proxy. The reply is bounded in size, in
// silence and in total time; anything but a whole 2xx reply within those bounds is a failure
// with a Spanish text for the errors file. The client also knows whether the whole request had
// been written when it failed: before that, the gateway cannot have acted on it.

#include "gateway/protocolo_ngw.h"
#include "gateway/respuesta_http.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QTcpSocket;

class cliente_http : public QObject
{
    Q_OBJECT

public:
    struct Limites
    {
        int silencioMs;  // longest wait for the next byte, connecting included
        int plazoMs;     // longest time for the whole request
        qint64 maxBytes; // largest reply accepted, headers included
    };

    cliente_http(const Limites &limites, QObject *parent);

    // Connects to the URL's host and port and sends one POST with these bytes.
    void publicar(const QUrl &url, const QByteArray &tipoContenido, const QByteArray &cuerpo);
    // Ends as failed with `texto` from the event loop, without connecting.
    void rechazar(const QString &texto);

    // The request bytes: request line, Host, Content-Type, Content-Length, Connection: close.
    static QByteArray armarPedido(const QUrl &url, const QByteArray &tipoContenido, const QByteArray &cuerpo);
    // What the operator reads of a failure of the network stack, naming the gateway `destino`
    // (host[:port]): the system's own text may be in another language.
    static QString textoFalloRed(QAbstractSocket::SocketError fallo, const QString &destino);

    bool fallo() const { return !m_error.isEmpty(); }
    QString textoError() const { return m_error; }
    int codigoHttp() const { return m_lector.codigo(); }
    // How it ended; meaningful once terminado() has been emitted.
    protocolo_ngw::FinPedido fin() const { return m_comoTermino; }
    // The reply body; empty after a failure.
    QByteArray cuerpo() const { return fallo() ? QByteArray() : m_lector.cuerpo(); }

signals:
    // Emitted once, when the request has ended either way.
    void terminado();

private:
    void leer();
    void cerrado();
    void atenderLector(respuesta_http::Estado estado);
    void terminar(const QString &textoError);
    static QString duracion(int ms);

    Limites m_limites;
    QTcpSocket *m_socket = nullptr;
    QTimer m_silencio;
    QTimer m_plazo;
    QByteArray m_pedido;
    QString m_destino;
    respuesta_http::Lector m_lector;
    QString m_error;
    // Bytes of `pedido` the socket has taken so far.
    qint64 m_escritos = 0;
    protocolo_ngw::FinPedido m_comoTermino = protocolo_ngw::FinPedido::SinEnviar;
    bool m_hecho = false;
};
