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

    Estado estado() const { return actual; }
    // Status code and reason phrase of the final reply (interim 1xx replies are passed over).
    int codigo() const { return codigoHttp; }
    const QByteArray &razon() const { return textoRazon; }
    const QByteArray &cuerpo() const { return contenido; }
    // Bytes taken so far; 0 means the peer sent nothing at all.
    qint64 recibidos() const { return total; }

private:
    enum class Fase { LineaEstado, Cabeceras, Largo, HastaCierre, TamanoTrozo, Trozo, FinTrozo, Cola, Hecho };

    Estado avanzar();
    // The next line without its "\n" (and a "\r" before it); false while it is not whole.
    bool tomarLinea(QByteArray &linea);
    Estado leerLineaEstado(const QByteArray &linea);
    Estado leerCabecera(const QByteArray &linea);
    Estado finCabeceras();
    // Moves up to `faltan` available body bytes into the body.
    void tomarCuerpo();

    qint64 limite;
    qint64 total = 0;
    QByteArray pendiente; // bytes not parsed yet, from `inicio` on
    int inicio = 0;
    int buscado = 0; // the next "\n" is not before this offset of `pendiente`
    Fase fase = Fase::LineaEstado;
    Estado actual = Estado::Incompleta;
    int codigoHttp = 0;
    QByteArray textoRazon;
    bool hayLargo = false;
    qint64 largo = 0;
    bool trozos = false;
    qint64 faltan = 0;
    QByteArray contenido;
};

} // namespace respuesta_http
