#include "lista/outbox.h"
#include "ajustes/archivo_seguro.h"
#include "ajustes/registro.h"

#include "lista/archivos_datos.h"
#include "lista/revision_lista.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace outbox {

namespace {

constexpr int kBloque = 1 << 16;

// Copies written to the compacted file are gathered and written in blocks of about this size.
constexpr int kBloqueEscritura = 1 << 16;

const char *buscarComa(const char *desde, const char *hasta)
{
    return static_cast<const char *>(std::memchr(desde, ',', static_cast<size_t>(hasta - desde)));
}

// "&" and "=" would add parameters to the gateway request, a NUL cuts it, and a line break or a
// comma means the field is not the number the row held.
bool numeroSeguro(const QByteArray &numero)
{
    for (const char c : numero) {
        if (c == '&' || c == '=' || c == '\0' || c == '\r' || c == '\n' || c == ',')
            return false;
    }
    return true;
}

bool esLinea(const LectorLineas &lector, const QByteArray &linea)
{
    return lector.largo() == linea.size() &&
           std::memcmp(lector.datos(), linea.constData(), linea.size()) == 0;
}

// True when the record still starts at posicion: a line start, the same bytes, then a line end.
bool sigueEn(QFile &archivo, qint64 posicion, const QByteArray &linea)
{
    if (posicion < 0 || linea.isEmpty() || posicion + linea.size() > archivo.size())
        return false;
    if (posicion > 0) {
        char anterior = 0;
        if (!archivo.seek(posicion - 1) || archivo.read(&anterior, 1) != 1 || anterior != '\n')
            return false;
    }
    if (!archivo.seek(posicion))
        return false;
    const QByteArray leido = archivo.read(linea.size() + 2);
    if (!leido.startsWith(linea))
        return false;
    const QByteArray resto = leido.mid(linea.size());
    return resto.isEmpty() || resto.startsWith('\n') || resto == "\r\n" || resto == "\r";
}

} // namespace

LectorLineas::LectorLineas(QFile &archivo) : archivo(archivo), base(archivo.pos())
{
    buffer.resize(kBloque);
}

bool LectorLineas::siguiente()
{
    for (;;) {
        const char *datosBuffer = buffer.constData();
        const void *salto = std::memchr(datosBuffer + inicio, '\n', static_cast<size_t>(fin - inicio));
        int finLinea = -1;
        int siguienteInicio = 0;
        if (salto) {
            finLinea = static_cast<int>(static_cast<const char *>(salto) - datosBuffer);
            siguienteInicio = finLinea + 1;
        } else if (finArchivo) {
            if (inicio >= fin)
                return false;
            finLinea = fin;
            siguienteInicio = fin;
        }
        if (finLinea >= 0 && descartando) {
            descartando = false;
            inicio = siguienteInicio;
            continue;
        }
        if (finLinea >= 0) {
            posLinea = base + inicio;
            inicioLinea = inicio;
            largoLinea = finLinea - inicio;
            if (largoLinea > 0 && datosBuffer[finLinea - 1] == '\r')
                --largoLinea;
            inicio = siguienteInicio;
            return true;
        }
        // No whole line left in the buffer. One longer than any record (a sparse hole, a run of
        // NULs, a file without line ends) is passed over block by block, so memory stays bounded
        // and the file is read at disk speed; otherwise keep the start of the next line.
        if (descartando || fin - inicio > kLargoMaximoLinea) {
            if (!descartando)
                qCDebug(catLista) << "outbox - linea demasiado larga en" << base + inicio
                                  << ", se pasa por alto";
            descartando = true;
            saltarHueco();
        } else if (inicio > 0) {
            std::memmove(buffer.data(), buffer.constData() + inicio, static_cast<size_t>(fin - inicio));
            base += inicio;
            fin -= inicio;
            inicio = 0;
        }
        if (fin == buffer.size())
            buffer.resize(buffer.size() * 2);
        const qint64 leidos = archivo.read(buffer.data() + fin, buffer.size() - fin);
        if (leidos < 0) {
            errorLectura = true;
            finArchivo = true;
        } else if (leidos == 0) {
            finArchivo = true;
        } else {
            fin += static_cast<int>(leidos);
        }
    }
}

void LectorLineas::saltarHueco()
{
    qint64 siguiente = archivo.pos();
#if defined(Q_OS_UNIX) && defined(SEEK_DATA)
    // A hole of a sparse file holds only NULs: no line end to look for there.
    const off_t datos = ::lseek(archivo.handle(), siguiente, SEEK_DATA);
    if (datos >= siguiente)
        siguiente = datos;
    else if (datos < 0 && errno == ENXIO)
        siguiente = qMax(siguiente, archivo.size());
#endif
    if (siguiente != archivo.pos())
        archivo.seek(siguiente);
    base = archivo.pos();
    inicio = 0;
    fin = 0;
}

bool elegible(const char *inicio, int largo, qint64 posicion, const FechaVencida &vencida,
              const Omitir &omitir, Pendiente &encontrado)
{
    const char *fin = inicio + largo;
    const char *coma1 = buscarComa(inicio, fin);
    const char *coma2 = coma1 ? buscarComa(coma1 + 1, fin) : nullptr;
    const char *coma3 = coma2 ? buscarComa(coma2 + 1, fin) : nullptr;
    if (!coma3) {
        qCDebug(catLista) << "outbox - falta columna...";
        return false;
    }
    if (coma1 - inicio != 1 || inicio[0] != 'e')
        return false;
    if ((omitir && omitir(inicio, largo)) || coma2 - coma1 == 1)
        return false;
    if (!vencida(coma2 + 1, static_cast<int>(coma3 - coma2 - 1)))
        return false;
    const QByteArray numero(coma1 + 1, static_cast<int>(coma2 - coma1 - 1));
    if (!numeroSeguro(numero)) {
        qCDebug(catLista).noquote() << "outbox - numero no valido, no se envia:" << QString::fromUtf8(numero);
        return false;
    }
    const QString mensaje = QString::fromUtf8(coma3 + 1, static_cast<int>(fin - coma3 - 1));
    if (!lista::campoEnMensaje(mensaje).isEmpty()) {
        qCDebug(catLista).noquote() << "outbox - texto con un campo del pedido, no se envia:" << mensaje;
        return false;
    }
    encontrado.posicion = posicion;
    encontrado.linea = QByteArray(inicio, largo);
    encontrado.numero = QString::fromUtf8(numero);
    encontrado.fecha = QString::fromUtf8(coma2 + 1, static_cast<int>(coma3 - coma2 - 1));
    encontrado.mensaje = mensaje;
    return true;
}

ResultadoBusqueda buscarPendiente(const QString &rutaSalidas, const FechaVencida &vencida,
                                  Pendiente &encontrado, const Omitir &omitir)
{
    QFile archivo;
    // Read-write as the mark will be: a missing outbox is created empty rather than reported
    // every cycle.
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return ResultadoBusqueda::NoAbre;
    }
    LectorLineas lector(archivo);
    while (lector.siguiente()) {
        if (elegible(lector.datos(), lector.largo(), lector.posicion(), vencida, omitir, encontrado))
            return ResultadoBusqueda::Encontrado;
    }
    return ResultadoBusqueda::NoHay;
}

ResultadoMarca marcarEnviado(const QString &rutaSalidas, qint64 posicion, const QByteArray &linea,
                             qint64 *posicionMarcada)
{
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return ResultadoMarca::NoAbre;
    }
    // Only a pending record can be marked: the line handed over began with "e,".
    if (!linea.startsWith("e,"))
        return ResultadoMarca::NoEncontrada;
    qint64 destino = -1;
    if (sigueEn(archivo, posicion, linea)) {
        destino = posicion;
    } else {
        // The file was rewritten since the scan: the record is the first pending line equal to it
        // (an equal line before it would have been due too, and handed over first).
        if (!archivo.seek(0))
            return ResultadoMarca::FalloEscritura;
        LectorLineas lector(archivo);
        while (lector.siguiente()) {
            if (esLinea(lector, linea)) {
                destino = lector.posicion();
                break;
            }
        }
        if (lector.fallo())
            return ResultadoMarca::FalloEscritura;
        if (destino < 0)
            return ResultadoMarca::NoEncontrada;
    }
    const archivos_datos::Sello antes = archivos_datos::selloDe(archivo);
    const bool escrita = archivo.seek(destino) && archivo.write("E", 1) == 1 && archivo.flush();
    archivos_datos::anotarCambio(rutaSalidas, antes, archivos_datos::selloDe(archivo),
                                 archivos_datos::Cambio::Marca, destino);
    if (!escrita) {
        archivos_datos::avisarFalloApertura(rutaSalidas);
        return ResultadoMarca::FalloEscritura;
    }
    if (posicionMarcada)
        *posicionMarcada = destino;
    return ResultadoMarca::Marcada;
}

bool contarPorEstado(const QString &rutaSalidas, char estado, int &cuenta)
{
    cuenta = 0;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return false;
    }
    LectorLineas lector(archivo);
    int total = 0;
    while (lector.siguiente()) {
        if (lector.largo() > 0 && lector.datos()[0] == estado)
            ++total;
    }
    cuenta = total;
    return true;
}

bool contarLineas(const QString &ruta, int &cuenta)
{
    cuenta = 0;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, ruta, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return false;
    }
    LectorLineas lector(archivo);
    int total = 0;
    while (lector.siguiente())
        ++total;
    cuenta = total;
    return true;
}

namespace {

// The one rewrite of the outbox: `primera` (if any) and then the lines `conservar` keeps, in
// their order, go to rutaTemporal, which takes the outbox's place by one atomic rename once it
// is complete and on disk. On any failure the outbox is as it was and the temporary is gone.
// The caller holds its lock around it.
ResultadoCompactacion reescribir(const QString &rutaSalidas, const QString &rutaTemporal,
                                 const QByteArray &primera,
                                 const std::function<bool(const LectorLineas &)> &conservar)
{
    QFile origen;
    if (!archivos_datos::abrirDatos(origen, rutaSalidas, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return ResultadoCompactacion::NoAbreSalidas;
    }
    // The one temporary of ours: whatever stands there (left by a rewrite cut short, or planted)
    // is removed, never written through.
    QFile destino;
    if (!archivo_seguro::crearExclusivo(destino, rutaTemporal)) {
        archivos_datos::avisarFalloApertura(rutaTemporal);
        return ResultadoCompactacion::NoAbreTemporal;
    }
    LectorLineas lector(origen);
    QByteArray salida;
    salida.reserve(kBloqueEscritura + 1024);
    if (!primera.isEmpty()) {
        salida.append(primera);
        salida.append(archivos_datos::kFinLinea);
    }
    bool bien = true;
    while (bien && lector.siguiente()) {
        if (!conservar(lector))
            continue;
        salida.append(lector.datos(), lector.largo());
        salida.append(archivos_datos::kFinLinea);
        if (salida.size() >= kBloqueEscritura) {
            bien = destino.write(salida) == salida.size();
            salida.resize(0);
        }
    }
    if (bien && !salida.isEmpty())
        bien = destino.write(salida) == salida.size();
    bien = bien && !lector.fallo() && archivos_datos::aDisco(destino);
    origen.close();
    destino.close();
    bien = bien && archivos_datos::reemplazar(rutaTemporal, rutaSalidas);
    archivos_datos::anotarCambio(rutaSalidas, archivos_datos::Sello(), archivos_datos::selloDe(rutaSalidas),
                                 archivos_datos::Cambio::Reescritura);
    if (!bien) {
        qCDebug(catLista).noquote() << "No se pudo reescribir" << rutaSalidas << destino.errorString();
        QFile::remove(rutaTemporal);
        return ResultadoCompactacion::FalloEscritura;
    }
    return ResultadoCompactacion::Hecha;
}

bool esPendiente(const char *inicio, int largo)
{
    return largo >= 2 && inicio[0] == 'e' && inicio[1] == ',';
}

} // namespace

ResultadoCompactacion compactar(const QString &rutaSalidas, const QString &rutaTemporal)
{
    return reescribir(rutaSalidas, rutaTemporal, QByteArray(),
                      [](const LectorLineas &l) { return l.largo() > 0 && l.datos()[0] == 'e'; });
}

bool recorrerPendientes(const QString &rutaSalidas, const std::function<void(RegistroPendiente &)> &visitar)
{
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return false;
    }
    LectorLineas lector(archivo);
    int numeroLinea = 0;
    RegistroPendiente r;
    while (lector.siguiente()) {
        ++numeroLinea;
        const char *inicio = lector.datos();
        const char *fin = inicio + lector.largo();
        if (!esPendiente(inicio, lector.largo()))
            continue;
        const char *coma1 = inicio + 1;
        const char *coma2 = buscarComa(coma1 + 1, fin);
        const char *coma3 = coma2 ? buscarComa(coma2 + 1, fin) : nullptr;
        if (!coma3)
            continue;
        r.posicion = lector.posicion();
        r.numeroLinea = numeroLinea;
        r.linea = QByteArray(inicio, lector.largo());
        r.numero = QString::fromUtf8(coma1 + 1, static_cast<int>(coma2 - coma1 - 1));
        r.fecha = QString::fromUtf8(coma2 + 1, static_cast<int>(coma3 - coma2 - 1));
        r.mensaje = QString::fromUtf8(coma3 + 1, static_cast<int>(fin - coma3 - 1));
        visitar(r);
    }
    return !lector.fallo();
}

bool leerPendientes(const QString &rutaSalidas, QVector<RegistroPendiente> &pendientes)
{
    pendientes.clear();
    return recorrerPendientes(rutaSalidas,
                              [&pendientes](RegistroPendiente &r) { pendientes.append(std::move(r)); });
}

ResultadoCancelacion cancelar(const QString &rutaSalidas, const QString &rutaTemporal,
                              const QVector<Referencia> &registros, const EnMano &enMano)
{
    QVector<Referencia> delTrabajador(1);
    if (!enMano || !enMano(delTrabajador.first()))
        delTrabajador.clear();
    return cancelar(rutaSalidas, rutaTemporal, registros, delTrabajador);
}

ResultadoCancelacion cancelar(const QString &rutaSalidas, const QString &rutaTemporal,
                              const QVector<Referencia> &registros, const QVector<Referencia> &enMano)
{
    ResultadoCancelacion r;

    QHash<qint64, const QByteArray *> porPosicion;
    porPosicion.reserve(registros.size());
    for (const Referencia &ref : registros)
        porPosicion.insert(ref.posicion, &ref.linea);

    // First pass: which records are still where they were seen, and where those in hand are:
    // at their offset, else (the file rewritten since) among the equal pending lines.
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        r.resultado = ResultadoCompactacion::NoAbreSalidas;
        return r;
    }
    QSet<qint64> quitar;
    QVector<qint64> posEnMano(enMano.size(), -1);
    QVector<QVector<qint64>> igualesEnMano(enMano.size());
    {
        LectorLineas lector(archivo);
        while (lector.siguiente()) {
            if (!esPendiente(lector.datos(), lector.largo()))
                continue;
            const qint64 pos = lector.posicion();
            for (int i = 0; i < enMano.size(); ++i) {
                if (!esLinea(lector, enMano.at(i).linea))
                    continue;
                if (pos == enMano.at(i).posicion)
                    posEnMano[i] = pos;
                else
                    igualesEnMano[i].append(pos);
            }
            const auto it = porPosicion.constFind(pos);
            if (it != porPosicion.constEnd() && esLinea(lector, **it))
                quitar.insert(pos);
        }
        if (lector.fallo()) {
            r.resultado = ResultadoCompactacion::FalloEscritura;
            return r;
        }
    }
    archivo.close();
    QSet<qint64> guardar;
    for (const qint64 pos : qAsConst(posEnMano)) {
        if (pos >= 0)
            guardar.insert(pos);
    }
    for (int i = 0; i < enMano.size(); ++i) {
        if (posEnMano.at(i) >= 0)
            continue;
        for (const qint64 pos : qAsConst(igualesEnMano.at(i))) {
            if (!guardar.contains(pos)) {
                guardar.insert(pos);
                break;
            }
        }
    }

    // Records no longer at their offset are looked for by their bytes.
    QHash<QByteArray, int> sinUbicar;
    for (const Referencia &ref : registros) {
        if (!quitar.contains(ref.posicion))
            sinUbicar[ref.linea] += 1;
    }
    for (const qint64 pos : qAsConst(guardar)) {
        if (quitar.remove(pos))
            r.enMano += 1;
    }

    int quitados = 0;
    QVector<QByteArray> quitadas;
    r.resultado = reescribir(rutaSalidas, rutaTemporal, QByteArray(), [&](const LectorLineas &l) {
        const qint64 pos = l.posicion();
        if (guardar.contains(pos))
            return true;
        if (quitar.contains(pos)) {
            ++quitados;
            quitadas.append(QByteArray(l.datos(), l.largo()));
            return false;
        }
        if (!sinUbicar.isEmpty() && esPendiente(l.datos(), l.largo())) {
            const auto it = sinUbicar.find(QByteArray::fromRawData(l.datos(), l.largo()));
            if (it != sinUbicar.end()) {
                if (--it.value() == 0)
                    sinUbicar.erase(it);
                ++quitados;
                quitadas.append(QByteArray(l.datos(), l.largo()));
                return false;
            }
        }
        return true;
    });
    if (r.resultado == ResultadoCompactacion::Hecha) {
        r.cancelados = quitados;
        r.quitadas = quitadas;
        r.noEncontrados = qMax(0, registros.size() - quitados - r.enMano);
    }
    return r;
}

ResultadoCompactacion agregarPrimero(const QString &rutaSalidas, const QString &rutaTemporal,
                                     const QString &numero, const QString &fecha, const QString &mensaje)
{
    // A missing outbox is an empty one.
    if (!QFile::exists(rutaSalidas) && !archivo_seguro::esEnlace(rutaSalidas)) {
        QFile nuevo;
        if (!archivos_datos::abrirDatos(nuevo, rutaSalidas, QIODevice::WriteOnly | QIODevice::Append))
            return ResultadoCompactacion::NoAbreSalidas;
    }
    const QByteArray linea = archivos_datos::lineaRegistroOutbox(numero, fecha, mensaje).toUtf8();
    return reescribir(rutaSalidas, rutaTemporal, linea, [](const LectorLineas &) { return true; });
}

} // namespace outbox
