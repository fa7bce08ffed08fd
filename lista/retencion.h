#pragma once
// The outbox records held out of the worker's choice: those whose send may have reached the
// gateway without the program knowing it ("en duda"), and the one with the gateway now. Kept in
// "en_duda.json" in the data folder, written whole and on disk before the worker hands the next
// record over: a record is written here "en vuelo" before its request goes out, so a kill between
// the request and its reply leaves it held, never sent again by itself.
//
// Records are named by their bytes in the outbox, never by their place, which compaction,
// cancellation and urgent sends change. Equal pending lines are interchangeable: n entries of a
// line hold the first n pending lines equal to it. The owner uses every member under its outbox
// lock; the counts are also published for other threads.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>
#include <atomic>

namespace retencion {

enum class Estado {
    EnVuelo,  // handed to the gateway, outcome not known yet
    EnDuda,   // the gateway may have sent it: waits for the operator
    Reenviar, // the operator asked for one more send
};

struct Entrada
{
    QByteArray linea; // the outbox line, without its line end
    Estado estado = Estado::EnDuda;
    QString motivo;  // why it is in doubt
    QString desde;   // "yyyy-MM-dd HH:mm:ss", local time
    int gateway = 0; // the gateway it was handed to (1..8); 0: not known (a file without it)
};

// The file's bytes, and back; false for anything this program did not write.
QByteArray serializar(const QVector<Entrada> &entradas);
bool deserializar(const QByteArray &bytes, QVector<Entrada> &entradas);

// Whether the outbox holds a pending line; false when it cannot be read.
bool hayPendientes(const QString &rutaSalidas);

// Which pending lines the entries hold, in one pass over the outbox in file order.
class Omision
{
public:
    explicit Omision(const QVector<Entrada> &entradas);
    bool vacia() const { return m_grupos.isEmpty(); }
    // For the next pending line: the index of the entry that holds it, or -1.
    int retenida(const char *datos, int largo);

private:
    struct Grupo
    {
        QByteArray linea;
        QVector<int> entradas;
        int usadas = 0;
    };
    QVector<Grupo> m_grupos;
};

enum class Apertura {
    Leido,   // read
    Nuevo,   // there was none: started empty
    Perdido, // it had been made for this data folder and is gone while records are pending
    Danado,  // it could not be read; set aside as <name>.danado-<date>
};

class Retencion
{
public:
    // Reads the file at `ruta`. `hechoAntes`: one was made at this path before. Records left
    // "en vuelo" by a program that ended without their reply are in doubt from now on (they
    // are in recuperadas()). Entries whose line is no longer pending are dropped. After Perdido or
    // Danado nothing is known of what was in doubt: confiable() is false until the operator has
    // looked (empezarDeNuevo).
    Apertura abrir(const QString &ruta, bool hechoAntes, const QString &rutaSalidas, const QString &ahora);
    QString ruta() const { return m_ruta; }
    bool confiable() const { return m_confiable; }
    const QVector<Entrada> &entradas() const { return m_entradas; }
    QVector<Entrada> recuperadas() const { return m_recuperadas; }
    // Records in doubt (a resend asked for included), and a number that changes with every
    // change of the entries; safe from any thread.
    int enDuda() const { return m_cuenta; }
    unsigned version() const { return m_version; }

    // Records in doubt (a resend asked for included) last handed to `gateway` (0: not known);
    // safe from any thread.
    int enDudaDe(int gateway) const;

    // The record handed to `gateway` now (a resend asked for becomes it).
    void anotarEnVuelo(const QByteArray &linea, const QString &ahora, int gateway = 0);
    // Its outcome: taken or nothing taken (the entry goes), or unknown (it stays, in doubt). An
    // equal line in flight on `gateway` is the one meant, if there is one.
    void resolver(const QByteArray &linea, bool incierto, const QString &motivo, const QString &ahora,
                  int gateway = 0);
    // The operator: one more send of a record in doubt, or the entry taken away (the record was
    // marked sent or is gone). False when no such record is in doubt.
    bool pedirReenvio(const QByteArray &linea);
    bool quitar(const QByteArray &linea);
    // Whether a record like this is in doubt (a resend asked for included).
    bool retiene(const QByteArray &linea) const;
    // The first record whose resend was asked for; the request is dropped once that record is
    // no longer pending.
    bool reenvioPedido(QByteArray &linea) const;
    void olvidarReenvio(const QByteArray &linea);
    // Drops the entries (but the one in flight) beyond the pending lines equal to them. False,
    // and nothing dropped, when the outbox cannot be read.
    bool conciliar(const QString &rutaSalidas);
    // The operator has looked after the file was lost or damaged: nothing is held any more.
    void empezarDeNuevo();

    // Whether a change is not on disk yet; guardar() writes it (true when all is on disk).
    bool sucio() const { return m_sucio; }
    bool guardar();

private:
    // The first entry of `linea` in `estado`, one of `gateway` first (0: any).
    int buscar(const QByteArray &linea, Estado estado, int gateway = 0) const;
    void cambiado();

    QString m_ruta;
    QVector<Entrada> m_entradas;
    QVector<Entrada> m_recuperadas;
    bool m_sucio = false;
    std::atomic<bool> m_confiable{true};
    std::atomic<int> m_cuenta{0};
    static constexpr int kGateways = 9;
    std::array<std::atomic<int>, kGateways> m_cuentaGateway{};
    std::atomic<unsigned> m_version{0};
};

} // namespace retencion
