// Arbitrary bytes as list format, header line, template and list text: nothing may crash, the
// fast splitter and filler must agree with the literal ones, no message may pass 140 units, and a
// list read in blocks must give the lines of the whole list decoded at once.

#include "lista/columnas.h"
#include "lista/lectura_lista.h"
#include "lista/lista_en_disco.h"
#include "lista/plantilla.h"
#include "lista/separar_linea.h"
#include "referencias.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace {

void fallar(const char *que, const QString &detalle)
{
    std::fprintf(stderr, "%s: %s\n", que, detalle.toUtf8().constData());
    std::abort();
}

// Raw UTF-16 units (lone surrogates included) or the list decoding, as the fuzzer chooses.
QString comoTexto(const std::string &bytes, bool crudo)
{
    if (crudo) {
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.data()), int(bytes.size() / 2));
    }
    return lista::decodificarLista(QByteArray(bytes.data(), int(bytes.size())));
}

QStringList separarComprobado(const QString &linea, const lista::FormatoLista &formato)
{
    const QStringList campos = lista::separarLinea(linea, formato);
    if (campos != referencia::separarLinea(linea, formato.usarComa, formato.usarTab))
        fallar("separarLinea", linea);
    return campos;
}

// Blocks of four bytes put a block's edge everywhere.
void compararEnBloques(const std::string &bytes, const QStringList &lineas)
{
    const QString ruta = QDir::temp().filePath(QStringLiteral("fuzz_lista_en_bloques.csv"));
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    archivo.write(bytes.data(), qint64(bytes.size()));
    archivo.close();
    lista::ListaEnDisco enDisco(4);
    if (enDisco.abrir(ruta) != lista::Lectura::Bien)
        fallar("ListaEnDisco::abrir", QString::number(int(bytes.size())));
    QStringList leidas;
    lista::ListaEnDisco::Recorrido r = enDisco.recorrer();
    while (r.siguiente())
        leidas << r.linea().toString();
    if (leidas != lineas || r.cambio())
        fallar("ListaEnDisco", lineas.join(QLatin1Char('\n')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t largo)
{
    FuzzedDataProvider fuente(datos, largo);
    const lista::FormatoLista formato{fuente.ConsumeBool(), fuente.ConsumeBool()};
    const bool conHeader = fuente.ConsumeBool();
    const bool sinArchivo = fuente.ConsumeBool();
    const bool crudo = fuente.ConsumeBool();
    const QString header = comoTexto(fuente.ConsumeRandomLengthString(256), crudo);
    const QString plantilla = comoTexto(fuente.ConsumeRandomLengthString(1024), crudo);
    const std::string resto = fuente.ConsumeRemainingBytesAsString();
    const QString texto = comoTexto(resto, crudo);
    if (!crudo)
        compararEnBloques(resto, lista::separarEnLineas(texto));

    const QStringList camposHeader = separarComprobado(header, formato);
    const QStringList columnas = lista::nombresColumnas(camposHeader, conHeader);
    const int cantidad = camposHeader.size();
    const lista::BuscadorColumna buscar = [&](QStringView ref) {
        return sinArchivo ? -1 : lista::resolverColumna(ref, columnas, cantidad);
    };
    const referencia::Buscar buscarRef = [&](const QString &ref) { return buscar(ref); };

    const QString verificado = lista::verificarCampos(plantilla, buscar);
    if (verificado != referencia::verificarCampos(plantilla, buscarRef))
        fallar("verificarCampos", plantilla);

    QVector<QStringView> vistas;
    for (const QString &linea : lista::separarEnLineas(texto)) {
        const QStringList campos = separarComprobado(linea, formato);
        const lista::MensajeLlenado m = lista::llenarPlantilla(plantilla, campos, buscar);
        const referencia::Llenado r = referencia::transformarSms(plantilla, campos, buscarRef);
        if (m.mensaje != r.mensaje || m.truncado != r.truncado || m.faltaObligatorio != r.falta)
            fallar("llenarPlantilla", plantilla + QStringLiteral(" | ") + linea);
        if (m.mensaje.size() > lista::kLargoMaximoSms || (m.truncado && m.mensaje.size() < 139))
            fallar("largo", m.mensaje);

        lista::separarLineaEnVistas(linea, lista::separadorDe(formato), vistas);
        const lista::MensajeLlenado v = lista::llenarPlantilla(plantilla, vistas, buscar);
        if (v.mensaje != m.mensaje || v.truncado != m.truncado || v.faltaObligatorio != m.faltaObligatorio)
            fallar("vistas", linea);
    }
    return 0;
}
