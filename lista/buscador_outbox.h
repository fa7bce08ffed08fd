#pragma once
// The worker's choice of the next record, without reading the whole outbox every cycle. The
// choice is always buscarPendiente's on the same day with the hold's records passed over
// (retencion::Omision): the first line that is pending, has its four fields and a usable number and
// message, is due and is not held. What makes the difference is what the search remembers of the
// lines it read, with the outbox's seal (archivos_datos::Sello):
//   - the first line that is pending with its four fields (nothing before it can ever be chosen
//     while the file keeps its bytes);
//   - how far the lines are known to hold nothing to choose, the earliest date among those passed
//     over as not yet due, and whether any was passed over as held.
// The next search reads only the lines after that point, unless the outbox was rewritten
// (compaction, cancellation, an urgent message), cut, replaced or changed by another program (a
// seal that none of the program's own appends and marks explains: archivos_datos::CambiosPropios),
// in which case it reads from the first line; or the earliest date has come, or a held record may
// have been let go, in which case it reads again from the first pending line. Once in a while it
// reads from the first line anyway, so that a change the seal cannot show (another program's
// edit within the same tick of the file system's clock, keeping the size) is seen all the same.

#include "lista/archivos_datos.h"
#include "lista/outbox.h"
#include "lista/retencion.h"

#include <QDate>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

namespace outbox {

class Buscador
{
public:
    // The date from which a record's date field (its UTF-8 bytes) is due; an invalid date means
    // any day (reglas_envio::leerFecha: a record is due when its date does not read as a later day).
    using LeerFecha = std::function<QDate(const char *fecha, int largo)>;
    // Reads from the first line at least this often.
    static constexpr qint64 kRelecturaMs = 10 * 60 * 1000;

    explicit Buscador(LeerFecha leerFecha);
    ~Buscador();
    Buscador(const Buscador &) = delete;
    Buscador &operator=(const Buscador &) = delete;

    // The first record that may go on `hoy` and that the hold (`retenidas`, whose entries change
    // only along with `version`, retencion::Retencion::version) does not keep back. Call under
    // the lock of the outbox's owner.
    // `otra`, when given, passes over more lines the same way (after the hold); a line it passes
    // over is never looked at again until the search is forgotten (olvidar()) or reads from an
    // earlier line, so what it passes over must stay passed over until then.
    ResultadoBusqueda buscar(const QString &rutaSalidas, const QDate &hoy,
                             const QVector<retencion::Entrada> &retenidas, unsigned version,
                             Pendiente &encontrado, const Omitir &otra = Omitir());
    // The next search reads from the first line.
    void olvidar();

    // What the searches read, for tests and benchmarks.
    struct Lecturas
    {
        int completas = 0; // from the first line
        int desdePendiente = 0;
        qint64 lineas = 0;
    };
    const Lecturas &lecturas() const { return m_lecturas; }

private:
    struct Memoria;
    enum class Desde { Primera, PrimeraPendiente, Conocido };
    Desde desdeDonde(const QString &ruta, const archivos_datos::Sello &sello, const QDate &hoy,
                     unsigned version) const;

    LeerFecha m_leerFecha;
    std::unique_ptr<Memoria> m_memoria;
    QElapsedTimer m_desdeCompleta;
    Lecturas m_lecturas;
};

} // namespace outbox
