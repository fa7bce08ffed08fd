#include "lista/revision_lista.h"

#include "ajustes/ajustes.h"
#include "lista/bajas.h"
#include "lista/columnas.h"
#include "lista/numero_fecha.h"
#include "lista/separar_linea.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <iterator>

namespace lista {

namespace {

QString tr(const char *texto)
{
    return QCoreApplication::translate("MainWindow", texto);
}

// Nothing but separators and spaces: the blank lines and the ",,,," rows spreadsheets leave.
bool filaVacia(QStringView linea, QChar separador)
{
    for (const QChar c : linea) {
        if (c != separador && !c.isSpace())
            return false;
    }
    return true;
}

QStringView celda(const QVector<QStringView> &campos, int columna)
{
    return columna >= 0 && columna < campos.size() ? campos.at(columna) : QStringView();
}

} // namespace

QString textoMotivo(Motivo motivo)
{
    switch (motivo) {
    case Motivo::Ninguno:
        break;
    case Motivo::FilaVacia:
        return tr("fila vacía");
    case Motivo::NumeroVacio:
        return tr("número vacío");
    case Motivo::NumeroInvalido:
        return tr("número no válido");
    case Motivo::SinColumnaFecha:
        return tr("no existe la columna de fecha");
    case Motivo::FechaVacia:
        return tr("fecha vacía");
    case Motivo::FechaIlegible:
        return tr("fecha ilegible");
    case Motivo::FaltaObligatorio:
        return tr("falta un campo obligatorio");
    case Motivo::MensajeVacio:
        return tr("mensaje vacío");
    case Motivo::TextoConCampo:
        return tr("texto con &num=, &key=, &msg= o &stat");
    case Motivo::DadoDeBaja:
        return tr("dado de baja");
    }
    return QString();
}

namespace {

const QString &campoDelPedido(int i)
{
    static const QString campos[] = {QStringLiteral("&num="), QStringLiteral("&key="),
                                     QStringLiteral("&msg="), QStringLiteral("&stat")};
    return campos[i];
}
constexpr int kCamposDelPedido = 4;

// The index of the first field of the request in the message, or -1.
int indiceCampo(QStringView mensaje)
{
    const bool conSaltos = mensaje.contains(u'\n');
    const QString enviado =
        conSaltos ? mensaje.toString().replace(QLatin1Char('\n'), QLatin1String("&enter&")) : QString();
    const QStringView texto = conSaltos ? QStringView(enviado) : mensaje;
    if (!texto.contains(u'&'))
        return -1;
    for (int i = 0; i < kCamposDelPedido; ++i) {
        if (texto.contains(campoDelPedido(i), Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

} // namespace

QString campoEnMensaje(QStringView mensaje)
{
    const int i = indiceCampo(mensaje);
    return i < 0 ? QString() : campoDelPedido(i);
}

QString textoCampoEnMensaje(const QString &campo)
{
    return tr("texto con %1").arg(campo);
}

ReglasFila::ReglasFila(const EntradasFila &e)
    : plantilla(e.plantilla,
                [&](QStringView referencia) {
                    return resolverColumna(referencia, e.columnas, e.cantidadColumnas);
                }),
      columnaCelular(resolverColumna(e.columnaCelular, e.columnas, e.cantidadColumnas)),
      columnaFecha(resolverColumna(e.columnaFecha, e.columnas, e.cantidadColumnas)),
      fechaInmediata(e.columnaFecha.isEmpty() || e.columnaFecha == QLatin1String(ajustes::kInmediato)),
      separador(e.separador), hoy(e.hoy), bajas(e.bajas)
{
}

ResultadoFila ReglasFila::evaluar(QStringView linea) const
{
    ResultadoFila r;
    evaluar(linea, r);
    return r;
}

void ReglasFila::evaluar(QStringView linea, ResultadoFila &r) const
{
    r.motivo = Motivo::Ninguno;
    r.truncado = false;
    r.numero.resize(0);
    r.fecha.resize(0);
    r.mensaje.resize(0);
    if (filaVacia(linea, separador)) {
        r.motivo = Motivo::FilaVacia;
        return;
    }
    separarLineaEnVistas(linea, separador, campos);

    const QStringView numero = celda(campos, columnaCelular);
    if (numero.trimmed().isEmpty()) {
        r.motivo = Motivo::NumeroVacio;
        return;
    }
    if (!limpiarNumero(numero, r.numero)) {
        r.motivo = Motivo::NumeroInvalido;
        return;
    }
    if (bajas && bajas->contiene(r.numero)) {
        r.motivo = Motivo::DadoDeBaja;
        return;
    }

    // A date the program cannot read never means "now": only the operator's choice does.
    if (fechaInmediata) {
        r.fecha = hoy;
    } else if (columnaFecha < 0) {
        r.motivo = Motivo::SinColumnaFecha;
        return;
    } else {
        const QStringView fecha = celda(campos, columnaFecha);
        if (fecha.trimmed().isEmpty()) {
            r.motivo = Motivo::FechaVacia;
            return;
        }
        if (!leerFechaCelda(fecha, r.fecha)) {
            r.motivo = Motivo::FechaIlegible;
            return;
        }
    }

    plantilla.llenar(campos, llenado);
    if (llenado.faltaObligatorio) {
        r.motivo = Motivo::FaltaObligatorio;
        return;
    }
    if (llenado.mensaje.isEmpty()) {
        r.motivo = Motivo::MensajeVacio;
        return;
    }
    r.mensaje.append(llenado.mensaje);
    if (indiceCampo(r.mensaje) >= 0) {
        // Kept, so that the reason can name the field.
        r.motivo = Motivo::TextoConCampo;
        return;
    }
    r.truncado = llenado.truncado;
}

namespace {

// A finaliser that spreads every bit of the key over the slot's index: similar rows give similar
// string hashes, which would otherwise fall into runs of neighbouring slots.
quint64 mezclar(quint64 x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return x;
}

} // namespace

int RevisionLista::guardarTexto(QStringView fila) const
{
    if (m_filas)
        return -1;
    m_textos.append(fila.data(), int(fila.size()));
    m_finTextos.append(m_textos.size());
    return m_finTextos.size() - 1;
}

void RevisionLista::agregar(int linea, QStringView fila, const ResultadoFila &r)
{
    if (r.motivo != Motivo::Ninguno) {
        ++m_errores;
        ++m_motivos[int(r.motivo)];
        Problema p;
        p.linea = linea;
        p.motivo = quint8(r.motivo);
        if (r.motivo == Motivo::TextoConCampo)
            p.primera = indiceCampo(r.mensaje);
        p.texto = guardarTexto(fila);
        m_problemas.append(p);
        return;
    }
    ++m_encolados;
    int texto = -1;
    if (r.truncado) {
        ++m_cortados;
        texto = guardarTexto(fila);
        m_problemas.append({linea, Tipo::Truncado, 0, 0, texto});
    }
    // Two 32-bit hashes of the pair: two different records share both only by a chance too small to
    // matter for a warning, and no row's text is kept.
    const quint64 clave = quint64(qHash(r.numero, 0x5BD1E995u)) << 32 | qHash(r.mensaje, 0x27D4EB2Fu);
    if (m_cantidadEnEspera == kEnEspera)
        resolverPrimero();
    EnEspera &e = m_espera[(m_primeraEnEspera + m_cantidadEnEspera) % kEnEspera];
    ++m_cantidadEnEspera;
    e.clave = clave;
    e.linea = linea;
    e.texto = texto;
    if (texto < 0 && !m_filas) {
        e.fila.resize(0);
        e.fila.append(fila.data(), int(fila.size()));
    }
#if defined(__GNUC__)
    if (!m_tabla.isEmpty())
        __builtin_prefetch(m_tabla.constData() + (mezclar(clave) & quint64(m_tabla.size() - 1)));
#endif
}

void RevisionLista::resolverPrimero() const
{
    const EnEspera &e = m_espera[m_primeraEnEspera];
    m_primeraEnEspera = (m_primeraEnEspera + 1) % kEnEspera;
    --m_cantidadEnEspera;
    const int primera = primeraIgual(e.clave, e.linea);
    if (primera == 0)
        return;
    ++m_repetidas;
    m_repeticiones.append(
        {e.linea, Tipo::Repetido, 0, primera, e.texto >= 0 ? e.texto : guardarTexto(e.fila)});
}

void RevisionLista::resolver() const
{
    while (m_cantidadEnEspera > 0)
        resolverPrimero();
    if (m_repeticiones.isEmpty())
        return;
    // Both in the order of their lines; a row's own problem comes before its repeat.
    QVector<Problema> juntos;
    juntos.reserve(m_problemas.size() + m_repeticiones.size());
    std::merge(m_problemas.cbegin(), m_problemas.cend(), m_repeticiones.cbegin(), m_repeticiones.cend(),
               std::back_inserter(juntos),
               [](const Problema &a, const Problema &b) { return a.linea < b.linea; });
    m_problemas = std::move(juntos);
    m_repeticiones.clear();
}

int RevisionLista::repetidos() const
{
    resolver();
    return m_repetidas;
}

int RevisionLista::cantidadProblemas() const
{
    resolver();
    return m_problemas.size();
}

QString RevisionLista::textoDe(const Problema &p) const
{
    if (p.texto < 0)
        return m_filas ? m_filas(p.linea) : QString();
    const int inicio = p.texto == 0 ? 0 : m_finTextos.at(p.texto - 1);
    return m_textos.mid(inicio, m_finTextos.at(p.texto) - inicio);
}

ProblemaFila RevisionLista::problema(int k) const
{
    resolver();
    const Problema &p = m_problemas.at(k);
    QString motivo;
    switch (p.tipo) {
    case Tipo::Error:
        motivo = Motivo(p.motivo) == Motivo::TextoConCampo && p.primera >= 0
                     ? textoCampoEnMensaje(campoDelPedido(p.primera))
                     : textoMotivo(Motivo(p.motivo));
        break;
    case Tipo::Truncado:
        motivo = tr("SMS truncado a %1 caracteres").arg(kLargoMaximoSms);
        break;
    case Tipo::Repetido:
        motivo = tr("repite el número y el mensaje de la línea %1").arg(p.primera);
        break;
    }
    return {p.linea, textoDe(p), motivo};
}

QVector<ProblemaFila> RevisionLista::problemas() const
{
    QVector<ProblemaFila> todos;
    todos.reserve(cantidadProblemas());
    for (int k = 0; k < m_problemas.size(); ++k)
        todos.append(problema(k));
    return todos;
}

int RevisionLista::primeraIgual(quint64 clave, int linea) const
{
    // At most half full, so a probe ends soon at a free slot; line 0 marks a free one.
    if ((m_registros + 1) * 2 > m_tabla.size()) {
        QVector<Entrada> vieja(qMax(64, m_tabla.size() * 2));
        vieja.swap(m_tabla);
        for (const Entrada &e : qAsConst(vieja)) {
            if (e.linea != 0)
                ubicar(e.clave) = e;
        }
    }
    Entrada &e = ubicar(clave);
    if (e.linea != 0)
        return e.linea;
    e = {clave, linea};
    ++m_registros;
    return 0;
}

RevisionLista::Entrada &RevisionLista::ubicar(quint64 clave) const
{
    const quint64 mascara = quint64(m_tabla.size() - 1);
    Entrada *ranuras = m_tabla.data();
    quint64 i = mezclar(clave) & mascara;
    while (ranuras[i].linea != 0 && ranuras[i].clave != clave)
        i = (i + 1) & mascara;
    return ranuras[i];
}

QString textoResumen(const RevisionLista &revision)
{
    if (revision.aErrores() == 0 && revision.repetidos() == 0)
        return QString();
    QString texto = revision.aEncolar() == 1
                        ? tr("Se agregará 1 SMS a la bandeja de salida.\n")
                        : tr("Se agregarán %1 SMS a la bandeja de salida.\n").arg(revision.aEncolar());
    if (revision.aErrores() > 0) {
        texto += revision.aErrores() == 1
                     ? tr("1 fila irá al archivo de errores:\n")
                     : tr("%1 filas irán al archivo de errores:\n").arg(revision.aErrores());
        for (int m = 1; m < kCantidadMotivos; ++m) {
            const int n = revision.porMotivo(Motivo(m));
            if (n > 0)
                texto += QStringLiteral("  %1: %2\n").arg(textoMotivo(Motivo(m))).arg(n);
        }
    }
    if (revision.repetidos() == 1)
        texto += tr("1 fila repite el número y el mensaje de una fila anterior.\n");
    else if (revision.repetidos() > 1)
        texto +=
            tr("%1 filas repiten el número y el mensaje de una fila anterior.\n").arg(revision.repetidos());
    return texto;
}

} // namespace lista
