#include "gateway/cliente_http.h"

#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

// The socket reads at most this much ahead of us, so a huge reply never sits whole in memory.
constexpr qint64 kTramoLectura = 64 * 1024;

// A reason phrase as it may go into the errors file: printable ASCII only, bounded.
QString razonVisible(const QByteArray &razon)
{
    QString texto;
    for (char c : razon.left(80))
        texto += (c >= 0x20 && c < 0x7f) ? QLatin1Char(c) : QLatin1Char('?');
    return texto;
}

} // namespace

cliente_http::cliente_http(const Limites &limitesPedido, QObject *parent)
    : QObject(parent), limites(limitesPedido), lector(limitesPedido.maxBytes)
{
    silencio.setSingleShot(true);
    plazo.setSingleShot(true);
    connect(&silencio, &QTimer::timeout, this,
            [this] { terminar(tr("El gateway no respondio en %1").arg(duracion(limites.silencioMs))); });
    connect(&plazo, &QTimer::timeout, this, [this] {
        terminar(tr("El gateway no completo la respuesta en %1").arg(duracion(limites.plazoMs)));
    });
}

QByteArray cliente_http::armarPedido(const QUrl &url, const QByteArray &tipoContenido,
                                     const QByteArray &cuerpo)
{
    QByteArray destino = url.path(QUrl::FullyEncoded).toLatin1();
    if (destino.isEmpty())
        destino = "/";
    if (url.hasQuery())
        destino += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1 && url.port() != 80)
        host += ':' + QByteArray::number(url.port());
    return "POST " + destino + " HTTP/1.1\r\n" + "Host: " + host + "\r\n" + "Content-Type: " + tipoContenido +
           "\r\n" + "Content-Length: " + QByteArray::number(cuerpo.size()) + "\r\n" +
           "Connection: close\r\n\r\n" + cuerpo;
}

void cliente_http::publicar(const QUrl &url, const QByteArray &tipoContenido, const QByteArray &cuerpo)
{
    pedido = armarPedido(url, tipoContenido, cuerpo);
    socket = new QTcpSocket(this);
    // The gateway sits on the local network: never route it through a proxy.
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setReadBufferSize(kTramoLectura);
    connect(socket, &QTcpSocket::connected, this, [this] {
        silencio.start(limites.silencioMs);
        socket->write(pedido);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
        escritos += bytes;
        silencio.start(limites.silencioMs);
    });
    connect(socket, &QTcpSocket::readyRead, this, &cliente_http::leer);
    connect(socket, &QTcpSocket::disconnected, this, &cliente_http::cerrado);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError fallo) {
        if (fallo == QAbstractSocket::RemoteHostClosedError)
            cerrado();
        else
            terminar(socket->errorString());
    });
    silencio.start(limites.silencioMs);
    plazo.start(limites.plazoMs);
    socket->connectToHost(url.host(), quint16(url.port(80)));
}

void cliente_http::rechazar(const QString &texto)
{
    QMetaObject::invokeMethod(
        this, [this, texto] { terminar(texto); }, Qt::QueuedConnection);
}

void cliente_http::leer()
{
    if (hecho)
        return;
    silencio.start(limites.silencioMs);
    while (!hecho && socket->bytesAvailable() > 0)
        atenderLector(lector.agregar(socket->read(kTramoLectura)));
}

void cliente_http::cerrado()
{
    leer();
    if (!hecho)
        atenderLector(lector.cerrar());
}

void cliente_http::atenderLector(respuesta_http::Estado estado)
{
    using respuesta_http::Estado;
    switch (estado) {
    case Estado::Incompleta:
        return;
    case Estado::Completa:
        if (lector.codigo() >= 200 && lector.codigo() < 300)
            terminar(QString());
        else
            terminar(tr("El gateway respondio HTTP %1 %2")
                         .arg(lector.codigo())
                         .arg(razonVisible(lector.razon()))
                         .trimmed());
        return;
    case Estado::Invalida:
        terminar(tr("El gateway respondio algo que no es HTTP"));
        return;
    case Estado::Excedida: {
        const qint64 mb = 1024 * 1024;
        const QString limite = limites.maxBytes % mb == 0 ? tr("%1 MB").arg(limites.maxBytes / mb)
                                                          : tr("%1 bytes").arg(limites.maxBytes);
        terminar(tr("La respuesta del gateway supera %1; se descarta").arg(limite));
        return;
    }
    case Estado::Cortada:
        terminar(lector.recibidos() == 0 ? tr("El gateway cerro la conexion sin responder")
                                         : tr("El gateway cerro la conexion antes de terminar la respuesta"));
        return;
    }
}

void cliente_http::terminar(const QString &textoError)
{
    if (hecho)
        return;
    hecho = true;
    error = textoError;
    using protocolo_ngw::FinPedido;
    if (lector.estado() == respuesta_http::Estado::Completa)
        comoTermino = error.isEmpty() ? FinPedido::Respuesta : FinPedido::Estado;
    else
        comoTermino =
            escritos >= pedido.size() && !pedido.isEmpty() ? FinPedido::SinRespuesta : FinPedido::SinEnviar;
    silencio.stop();
    plazo.stop();
    if (socket) {
        socket->disconnect(this);
        socket->abort();
    }
    emit terminado();
}

QString cliente_http::duracion(int ms)
{
    return ms % 1000 == 0 ? tr("%1 s").arg(ms / 1000) : tr("%1 ms").arg(ms);
}
