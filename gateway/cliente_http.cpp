#include "gateway/cliente_http.h"

#include "ajustes/registro.h"

#include <QDebug>
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

QString cliente_http::textoFalloRed(QAbstractSocket::SocketError fallo, const QString &destino)
{
    switch (fallo) {
    case QAbstractSocket::ConnectionRefusedError:
        return tr("El gateway %1 rechazó la conexión: no hay nada escuchando en esa dirección y puerto. "
                  "Revise la dirección y que el equipo esté encendido.")
            .arg(destino);
    case QAbstractSocket::HostNotFoundError:
        return tr("No se encontró el equipo %1 en la red. Revise la dirección del gateway.").arg(destino);
    case QAbstractSocket::SocketTimeoutError:
        return tr("El gateway %1 no respondió a tiempo.").arg(destino);
    case QAbstractSocket::NetworkError:
        return tr("No hay camino en la red hasta el gateway %1. Revise el cable o la red de este equipo.")
            .arg(destino);
    case QAbstractSocket::SocketAccessError:
        return tr("El sistema no permitió conectarse con el gateway %1 (permisos o cortafuegos).")
            .arg(destino);
    case QAbstractSocket::SocketResourceError:
        return tr("El sistema no tiene recursos para abrir otra conexión con el gateway %1.").arg(destino);
    case QAbstractSocket::RemoteHostClosedError:
        return tr("El gateway %1 cerró la conexión.").arg(destino);
    default:
        return tr("No se pudo comunicar con el gateway %1 (falla de red %2).").arg(destino).arg(int(fallo));
    }
}

cliente_http::cliente_http(const Limites &limitesPedido, QObject *parent)
    : QObject(parent), m_limites(limitesPedido), m_lector(limitesPedido.maxBytes)
{
    m_silencio.setSingleShot(true);
    m_plazo.setSingleShot(true);
    connect(&m_silencio, &QTimer::timeout, this,
            [this] { terminar(tr("El gateway no respondió en %1").arg(duracion(m_limites.silencioMs))); });
    connect(&m_plazo, &QTimer::timeout, this, [this] {
        terminar(tr("El gateway no completó la respuesta en %1").arg(duracion(m_limites.plazoMs)));
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
    m_pedido = armarPedido(url, tipoContenido, cuerpo);
    m_destino = url.port() == -1 ? url.host() : QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
    m_socket = new QTcpSocket(this);
    // The gateway sits on the local network: never route it through a proxy.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_socket->setReadBufferSize(kTramoLectura);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_silencio.start(m_limites.silencioMs);
        m_socket->write(m_pedido);
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) {
        m_escritos += bytes;
        m_silencio.start(m_limites.silencioMs);
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &cliente_http::leer);
    connect(m_socket, &QTcpSocket::disconnected, this, &cliente_http::cerrado);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError fallo) {
        qCDebug(catGateway).noquote() << "falla de red:" << m_socket->errorString();
        if (fallo == QAbstractSocket::RemoteHostClosedError)
            cerrado();
        else
            terminar(textoFalloRed(fallo, m_destino));
    });
    m_silencio.start(m_limites.silencioMs);
    m_plazo.start(m_limites.plazoMs);
    m_socket->connectToHost(url.host(), quint16(url.port(80)));
}

void cliente_http::rechazar(const QString &texto)
{
    QMetaObject::invokeMethod(
        this, [this, texto] { terminar(texto); }, Qt::QueuedConnection);
}

void cliente_http::leer()
{
    if (m_hecho)
        return;
    m_silencio.start(m_limites.silencioMs);
    while (!m_hecho && m_socket->bytesAvailable() > 0)
        atenderLector(m_lector.agregar(m_socket->read(kTramoLectura)));
}

void cliente_http::cerrado()
{
    leer();
    if (!m_hecho)
        atenderLector(m_lector.cerrar());
}

void cliente_http::atenderLector(respuesta_http::Estado estado)
{
    using respuesta_http::Estado;
    switch (estado) {
    case Estado::Incompleta:
        return;
    case Estado::Completa:
        if (m_lector.codigo() >= 200 && m_lector.codigo() < 300)
            terminar(QString());
        else
            terminar(tr("El gateway respondió HTTP %1 %2")
                         .arg(m_lector.codigo())
                         .arg(razonVisible(m_lector.razon()))
                         .trimmed());
        return;
    case Estado::Invalida:
        terminar(tr("El gateway respondió algo que no es HTTP"));
        return;
    case Estado::Excedida: {
        const qint64 mb = 1024 * 1024;
        const QString limite = m_limites.maxBytes % mb == 0 ? tr("%1 MB").arg(m_limites.maxBytes / mb)
                                                            : tr("%1 bytes").arg(m_limites.maxBytes);
        terminar(tr("La respuesta del gateway supera %1; se descarta").arg(limite));
        return;
    }
    case Estado::Cortada:
        terminar(m_lector.recibidos() == 0
                     ? tr("El gateway cerró la conexión sin responder")
                     : tr("El gateway cerró la conexión antes de terminar la respuesta"));
        return;
    }
}

void cliente_http::terminar(const QString &textoError)
{
    if (m_hecho)
        return;
    m_hecho = true;
    m_error = textoError;
    using protocolo_ngw::FinPedido;
    if (m_lector.estado() == respuesta_http::Estado::Completa)
        m_comoTermino = m_error.isEmpty() ? FinPedido::Respuesta : FinPedido::Estado;
    else
        m_comoTermino = m_escritos >= m_pedido.size() && !m_pedido.isEmpty() ? FinPedido::SinRespuesta
                                                                             : FinPedido::SinEnviar;
    m_silencio.stop();
    m_plazo.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    emit terminado();
}

QString cliente_http::duracion(int ms)
{
    return ms % 1000 == 0 ? tr("%1 s").arg(ms / 1000) : tr("%1 ms").arg(ms);
}
