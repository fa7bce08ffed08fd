#pragma once
// A list file read in blocks, whatever its size: one pass finds where every line starts (kept as
// byte offsets, not strings), checks the limits and decides the encoding once for the whole file
// (lectura_lista.h's rule); each later pass decodes a block at a time. The file stays open until
// cerrar(), and every pass checks that the bytes it reads are those the first pass read, so the
// counting pass, the writing pass and a resumed run all see the same lines, as when the whole
// list was held in memory.

#include "lista/lectura_lista.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringView>
#include <QVector>

class QTextCodec;

namespace lista {

class ListaEnDisco
{
public:
    // Bytes read and checked at a time.
    static constexpr int kBloque = 1 << 20;

    // `bloque`, a multiple of 4, is smaller only in tests.
    explicit ListaEnDisco(int bloque = kBloque) : m_bloque(bloque) {}
    ListaEnDisco(const ListaEnDisco &) = delete;
    ListaEnDisco &operator=(const ListaEnDisco &) = delete;

    // Opens `ruta` (a regular file, never blocking) and indexes its lines within the limits of
    // lectura_lista.h, as leerLista would judge them. The file is read up to the size it had when
    // opened. Anything but Bien leaves the list closed and empty.
    Lectura abrir(const QString &ruta);
    // Lets the file go (on Windows a file held open cannot be moved).
    void cerrar();
    bool abierta() const { return m_archivo.isOpen(); }
    QString ruta() const { return m_ruta; }

    int cantidad() const { return m_cantidad; }
    // The encoding chosen for the whole file.
    QTextCodec *codec() const { return m_codec; }

    // Line `i` as the file holds it now (no check against the first pass); empty when out of range
    // or unreadable.
    QString linea(int i) const;

    // The lines from `desde` on, in order, decoded a block at a time.
    class Recorrido
    {
    public:
        // The next line; false at the end, or when the file's bytes changed or could not be read
        // (cambio()).
        bool siguiente();
        // Valid until the next call to siguiente().
        QStringView linea() const { return m_linea; }
        // 0-based index of the current line in the file.
        int numero() const { return m_numero; }
        bool cambio() const { return m_cambio; }

    private:
        friend class ListaEnDisco;
        Recorrido(const ListaEnDisco &lista, int desde);
        bool leerTramo();

        const ListaEnDisco *m_lista = nullptr;
        int m_numero = -1;
        int m_siguiente = 0; // first line not decoded yet
        int m_finTramo = 0;  // one past the last line decoded
        QByteArray m_bytes;  // from the start of line m_siguiente (or of an earlier block)
        qint64 m_inicioBytes = 0;
        int m_bloque = 0; // next block to read
        QString m_texto;
        QVector<QStringView> m_lineas;
        int m_enTramo = 0;
        QStringView m_linea;
        bool m_cambio = false;
    };
    Recorrido recorrer(int desde = 0) const { return Recorrido(*this, desde); }

private:
    // Lines `primera` to `ultima` (exclusive) decoded from their bytes, in `texto`, as views.
    bool decodificar(const char *datos, qint64 largo, int primera, int ultima, QString &texto,
                     QVector<QStringView> &lineas) const;
    qint64 inicio(int i) const { return m_inicios.at(i); }
    bool leerBloque(int bloque, QByteArray &destino) const;

    int m_bloque = kBloque;
    QString m_ruta;
    mutable QFile m_archivo;
    qint64 m_tamano = 0;
    QTextCodec *m_codec = nullptr;
    bool m_conEstado = false; // decoded as a stream (UTF-8 and the wide encodings), not byte by byte
    int m_cantidad = 0;
    // Where each line starts, and one past the end of the last: the file is at most
    // kTamanoMaximoLista bytes.
    QVector<quint32> m_inicios;
    // Per block of kBloque bytes: a checksum of what the first pass read.
    QVector<uint> m_sumas;
};

} // namespace lista
