#include "lista/buscador_outbox.h"

#include "lista/archivos_datos.h"

#include <QFile>

namespace outbox {

struct Buscador::Memoria
{
    QString ruta;
    archivos_datos::Sello sello;
    quint64 cortes = 0;
    qint64 primeraPendiente = -1; // the first line the hold is asked about; -1: none yet
    qint64 conocido = 0;          // the lines before hold nothing to choose
    QDate fechaMinima;            // the earliest date passed over as not due yet
    int retenidas = 0;            // lines passed over as held
    unsigned version = 0;
    // The hold's count of equal lines, as the lines up to `conocido` left it.
    std::unique_ptr<retencion::Omision> omision;
};

Buscador::Buscador(LeerFecha leerFecha) : m_leerFecha(std::move(leerFecha)) {}

Buscador::~Buscador() = default;

void Buscador::olvidar()
{
    m_memoria.reset();
}

Buscador::Desde Buscador::desdeDonde(const QString &ruta, const archivos_datos::Sello &sello,
                                     const QDate &hoy, unsigned version) const
{
    const Memoria *m = m_memoria.get();
    if (!m || m->ruta != ruta || !m_desdeCompleta.isValid() || m_desdeCompleta.hasExpired(kRelecturaMs))
        return Desde::Primera;
    if (sello.dispositivo != m->sello.dispositivo || sello.numero != m->sello.numero ||
        sello.tamano < m->sello.tamano)
        return Desde::Primera;
    if (sello != m->sello) {
        // Grown or touched: only the program's own appends and marks since leave the lines read
        // as they were (a mark only takes a line out of the choice).
        const archivos_datos::CambiosPropios propios = archivos_datos::cambiosPropios(ruta);
        if (propios.cortes != m->cortes || propios.ultimo != sello)
            return Desde::Primera;
    }
    if (m->fechaMinima.isValid() && hoy >= m->fechaMinima)
        return Desde::PrimeraPendiente;
    // Entries that went may let a held line go; entries that came hold only lines not read yet
    // (one equal to a line read would have been chosen there) or not due anyway.
    if (version != m->version && m->retenidas > 0)
        return Desde::PrimeraPendiente;
    return Desde::Conocido;
}

ResultadoBusqueda Buscador::buscar(const QString &rutaSalidas, const QDate &hoy,
                                   const QVector<retencion::Entrada> &retenidas, unsigned version,
                                   Pendiente &encontrado, const Omitir &otra)
{
    QFile archivo;
    // Read-write as the mark will be: a missing outbox is created empty rather than reported
    // every cycle.
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        m_memoria.reset();
        return ResultadoBusqueda::NoAbre;
    }
    const archivos_datos::Sello sello = archivos_datos::selloDe(archivo);
    const Desde desde = desdeDonde(rutaSalidas, sello, hoy, version);
    if (desde == Desde::Primera) {
        m_memoria.reset(new Memoria);
        m_memoria->ruta = rutaSalidas;
        m_desdeCompleta.start();
        ++m_lecturas.completas;
    }
    Memoria &m = *m_memoria;
    if (desde != Desde::Conocido) {
        m.conocido = desde == Desde::Primera ? 0 : m.primeraPendiente;
        m.fechaMinima = QDate();
        m.retenidas = 0;
        m.omision.reset();
        if (desde == Desde::PrimeraPendiente)
            ++m_lecturas.desdePendiente;
    } else if (version != m.version) {
        m.omision.reset();
    }
    if (!m.omision)
        m.omision.reset(new retencion::Omision(retenidas));
    m.sello = sello;
    m.cortes = archivos_datos::cambiosPropios(rutaSalidas).cortes;
    m.version = version;

    const auto omitir = [&m, &otra](const char *linea, int largo) {
        if (m.primeraPendiente < 0)
            m.primeraPendiente = m.conocido;
        if (m.omision->retenida(linea, largo) >= 0) {
            ++m.retenidas;
            return true;
        }
        return otra && otra(linea, largo);
    };
    const auto vencida = [&](const char *fecha, int largo) {
        const QDate dia = m_leerFecha(fecha, largo);
        if (!dia.isValid() || dia <= hoy)
            return true;
        if (!m.fechaMinima.isValid() || dia < m.fechaMinima)
            m.fechaMinima = dia;
        return false;
    };
    if (!archivo.seek(m.conocido)) {
        m_memoria.reset();
        return ResultadoBusqueda::NoHay;
    }
    LectorLineas lector(archivo);
    while (lector.siguiente()) {
        ++m_lecturas.lineas;
        // Until the line is judged, it is the first one not known (omitir reads it as such).
        m.conocido = lector.posicion();
        if (elegible(lector.datos(), lector.largo(), lector.posicion(), vencida, omitir, encontrado))
            return ResultadoBusqueda::Encontrado;
    }
    // A last line without its line end may still grow into another line: it is read again, and
    // with it everything, next time.
    char ultimo = '\n';
    if (lector.fallo() ||
        (sello.tamano > 0 && (!archivo.seek(sello.tamano - 1) || archivo.read(&ultimo, 1) != 1)) ||
        ultimo != '\n')
        m_memoria.reset();
    else
        m.conocido = sello.tamano;
    return ResultadoBusqueda::NoHay;
}

} // namespace outbox
