#include "lista/separar_linea.h"

#include "ajustes/ajustes.h"

namespace lista {

FormatoLista formatoGuardado()
{
    using ajustes::Clave;
    FormatoLista f;
    f.tieneHeader = ajustes::leerBool(Clave::TieneHeader);
    f.separaComillas = ajustes::leerBool(Clave::SeparaComillas);
    f.usarComa = ajustes::leerBool(Clave::UsarComa);
    f.usarTab = ajustes::leerBool(Clave::UsarTab);
    f.usarPuntoComa = ajustes::leerBool(Clave::UsarPuntoComa);
    return f;
}

void guardarSeparador(const FormatoLista &formato)
{
    using ajustes::Clave;
    ajustes::escribir(Clave::UsarComa, formato.usarComa);
    ajustes::escribir(Clave::UsarTab, formato.usarTab);
    ajustes::escribir(Clave::UsarPuntoComa, formato.usarPuntoComa);
}

namespace {

const QChar kComillas(u'"');

// One pass over the line, equivalent to splitting at every separator and then gluing back the
// pieces of a quoted field: a field whose piece starts with a quote loses that quote and ends at
// the first piece (its own included, if it has more than the quote) that ends with a quote,
// which is dropped; without one it runs to the end of the line. Inner quotes stay as they are.
// Each field is handed to `campo` as a view into the line.
template <typename F> void recorrerCampos(QStringView linea, QChar separador, F &&campo)
{
    const QChar *datos = linea.data();
    const qsizetype n = linea.size();
    auto finDePieza = [&](qsizetype desde) {
        qsizetype k = desde;
        while (k < n && datos[k] != separador)
            ++k;
        return k;
    };

    qsizetype inicio = 0;
    for (;;) {
        qsizetype fin = finDePieza(inicio);
        if (fin > inicio && datos[inicio] == kComillas) {
            const qsizetype contenido = inicio + 1;
            if (fin - inicio >= 2 && datos[fin - 1] == kComillas) {
                campo(linea.mid(contenido, fin - 1 - contenido));
            } else {
                bool cerrado = false;
                while (fin < n) {
                    const qsizetype siguiente = fin + 1;
                    fin = finDePieza(siguiente);
                    if (fin > siguiente && datos[fin - 1] == kComillas) {
                        cerrado = true;
                        break;
                    }
                }
                campo(linea.mid(contenido, (cerrado ? fin - 1 : fin) - contenido));
            }
        } else {
            campo(linea.mid(inicio, fin - inicio));
        }
        if (fin >= n)
            break;
        inicio = fin + 1;
    }
}

} // namespace

QChar separadorDe(const FormatoLista &formato)
{
    if (formato.usarComa)
        return QChar(u',');
    if (formato.usarTab)
        return QChar(u'\t');
    if (formato.usarPuntoComa)
        return QChar(u';');
    return QChar(u'\0');
}

FormatoLista conSeparador(FormatoLista formato, QChar separador)
{
    formato.usarComa = separador == u',';
    formato.usarTab = separador == u'\t';
    formato.usarPuntoComa = separador == u';';
    return formato;
}

QChar separadorSugerido(QStringView primeraLinea, const FormatoLista &formato)
{
    const QChar actual = separadorDe(formato);
    if (primeraLinea.contains(actual))
        return QChar(u'\0');
    QChar mejor(u'\0');
    qsizetype veces = 0;
    for (const QChar candidato : {QChar(u';'), QChar(u'\t'), QChar(u',')}) {
        const qsizetype n = primeraLinea.count(candidato);
        if (n > veces) {
            mejor = candidato;
            veces = n;
        }
    }
    return mejor;
}

void separarLineaEnVistas(QStringView linea, QChar separador, QVector<QStringView> &campos)
{
    campos.clear();
    recorrerCampos(linea, separador, [&](QStringView v) { campos.append(v); });
}

QStringList separarLinea(const QString &linea, const FormatoLista &formato)
{
    QStringList campos;
    recorrerCampos(linea, separadorDe(formato), [&](QStringView v) { campos.append(v.toString()); });
    return campos;
}

QStringList separarLinea(const QString &linea, bool usarComa, bool usarTab)
{
    FormatoLista formato;
    formato.usarComa = usarComa;
    formato.usarTab = usarTab;
    return separarLinea(linea, formato);
}

} // namespace lista
