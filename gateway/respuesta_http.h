#pragma once
// One HTTP/1.1 reply read from the bytes of a connection, without any networking: the status
// line, the headers and the body (by Content-Length, chunked, or up to the close), within a
// byte limit. The gateway client feeds it what its socket delivers; the outcome depends only on
// the bytes, never on how they were split.

#include <QByteArray>

namespace respuesta_http {

enum class Estado {
    Incompleta, // more bytes are needed
    Completa,   // status, headers and the whole body are in
    Invalida,   // not an HTTP reply
    Excedida,   // the reply does not end within the byte limit
    Cortada,    // the connection closed before the reply was whole
};

class Lector
{
public:
    // `limiteBytes`: every byte of the reply counts (status line, headers, chunk framing).
    explicit Lector(qint64 limiteBytes);

    // The next bytes of the connection. Once the state is no longer Incompleta, further bytes
    // are ignored.
    Estado agregar(const QByteArray &datos);
    // The peer closed the connection: a body read up to the close ends here; anything else
    // still missing makes the reply Cortada.
    Estado cerrar();

    Estado estado() const { return m_actual; }
    // Status code and reason phrase of the final reply (interim 1xx replies are passed over).
    int codigo() const { return m_codigoHttp; }
    const QByteArray &razon() const { return m_textoRazon; }
    const QByteArray &cuerpo() const { return m_contenido; }
    // Bytes taken so far; 0 means the peer sent nothing at all.
    qint64 recibidos() const { return m_total; }

private:
    enum class Fase { LineaEstado, Cabeceras, Largo, HastaCierre, TamanoTrozo, Trozo, FinTrozo, Cola, Hecho };

    Estado avanzar();
    // The next line without its "\n" (and a "\r" before it); false while it is not whole.
    bool tomarLinea(QByteArray &linea);
    Estado leerLineaEstado(const QByteArray &linea);
    Estado leerCabecera(const QByteArray &linea);
    Estado finCabeceras();
    // Moves up to `m_faltan` available body bytes into the body.
    void tomarCuerpo();

    qint64 m_limite;
    qint64 m_total = 0;
    QByteArray m_pendiente; // bytes not parsed yet, from `m_inicio` on
    int m_inicio = 0;
    int m_buscado = 0; // the next "\n" is not before this offset of `m_pendiente`
    Fase m_fase = Fase::LineaEstado;
    Estado m_actual = Estado::Incompleta;
    int m_codigoHttp = 0;
    QByteArray m_textoRazon;
    bool m_hayLargo = false;
    qint64 m_largo = 0;
    bool m_trozos = false;
    qint64 m_faltan = 0;
    QByteArray m_contenido;
};

} // namespace respuesta_http
