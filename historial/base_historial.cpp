#include "historial/base_historial.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "lista/archivos_datos.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace historial {

namespace {

// SQLite's primary result codes, as Qt's driver reports them.
constexpr char kCorrupt[] = "11";
constexpr char kNotADb[] = "26";

// A failed write is tried again after this long, so that a locked file costs no more than a
// short wait every few seconds.
constexpr int kEsperaReintentoMs = 5000;

// Each step brings the schema from the version before it to its own number.
const QStringList &paso(int version)
{
    static const QVector<QStringList> pasos = {
        // 1: the two tables.
        {QStringLiteral("CREATE TABLE IF NOT EXISTS enviados (id INTEGER PRIMARY KEY, fecha_hora TEXT NOT "
                        "NULL, numero TEXT NOT NULL, mensaje TEXT NOT NULL, resultado TEXT NOT NULL)"),
         QStringLiteral("CREATE TABLE IF NOT EXISTS recibidos (id INTEGER PRIMARY KEY, fecha_hora TEXT NOT "
                        "NULL, numero TEXT NOT NULL, mensaje TEXT NOT NULL)")},
        // 2: search by number and by date. The result rides along in the index, so that the
        // errors among a search are counted from the index alone.
        {QStringLiteral("CREATE INDEX IF NOT EXISTS enviados_numero ON enviados(numero, resultado)"),
         QStringLiteral("CREATE INDEX IF NOT EXISTS enviados_fecha ON enviados(fecha_hora, resultado)"),
         QStringLiteral("CREATE INDEX IF NOT EXISTS enviados_resultado ON enviados(resultado)"),
         QStringLiteral("CREATE INDEX IF NOT EXISTS recibidos_numero ON recibidos(numero)"),
         QStringLiteral("CREATE INDEX IF NOT EXISTS recibidos_fecha ON recibidos(fecha_hora)")},
        // 3: the opt-out list, and every number by its digits reversed: a number's last digits
        // are then the start of a text, which the index finds. The triggers note each new number
        // whoever writes the row; its reversed digits are filled in by completarNumeros.
        {QStringLiteral(
             "CREATE TABLE IF NOT EXISTS bajas (id INTEGER PRIMARY KEY, numero TEXT NOT NULL, "
             "digitos TEXT NOT NULL, fecha_hora TEXT NOT NULL, origen TEXT NOT NULL, texto TEXT NOT "
             "NULL, quitada TEXT)"),
         QStringLiteral(
             "CREATE TABLE IF NOT EXISTS numeros (numero TEXT PRIMARY KEY, invertido TEXT) WITHOUT "
             "ROWID"),
         QStringLiteral("CREATE INDEX IF NOT EXISTS numeros_invertido ON numeros(invertido)"),
         QStringLiteral("INSERT OR IGNORE INTO numeros (numero) SELECT numero FROM enviados UNION SELECT "
                        "numero FROM recibidos"),
         QStringLiteral("CREATE TRIGGER IF NOT EXISTS enviados_numeros AFTER INSERT ON enviados BEGIN INSERT "
                        "OR IGNORE INTO numeros (numero) VALUES (NEW.numero); END"),
         QStringLiteral("CREATE TRIGGER IF NOT EXISTS recibidos_numeros AFTER INSERT ON recibidos BEGIN "
                        "INSERT OR IGNORE INTO numeros (numero) VALUES (NEW.numero); END")},
        // 4: the gateway that sent or received each message; rows written before went through
        // the one gateway there was.
        {QStringLiteral("ALTER TABLE enviados ADD COLUMN gateway INTEGER NOT NULL DEFAULT 1"),
         QStringLiteral("ALTER TABLE recibidos ADD COLUMN gateway INTEGER NOT NULL DEFAULT 1")},
    };
    return pasos.at(version - 1);
}

QString textoError(const QSqlError &e)
{
    const QString texto = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return texto.trimmed();
}

} // namespace

QString rutaEspera(const QString &rutaHistorial)
{
    return QFileInfo(rutaHistorial).dir().filePath(QString::fromLatin1(ajustes::kArchivoHistorialEspera));
}

bool esDano(const QString &codigoNativo)
{
    return codigoNativo == QLatin1String(kCorrupt) || codigoNativo == QLatin1String(kNotADb);
}

Historial::Historial(QObject *padre)
    : QObject(padre), m_nombre(QStringLiteral("historial-%1").arg(quintptr(this), 0, 16))
{
}

Historial::~Historial()
{
    cerrar();
}

bool Historial::abrir(const QString &ruta)
{
    m_ruta = ruta;
    m_desdeIntento.start();
    cargarEspera();
    if (!conectar())
        return false;
    escribirEspera();
    iniciarVerificacion();
    return true;
}

void Historial::cerrar()
{
    if (m_verificacion) {
        m_verificacion->wait();
        delete m_verificacion;
        m_verificacion = nullptr;
    }
    escribirEspera();
    guardarEspera();
    desconectar();
}

QSqlDatabase Historial::base() const
{
    return m_disponible ? QSqlDatabase::database(m_nombre, false) : QSqlDatabase();
}

QString Historial::textoEstado() const
{
    QString texto;
    if (!m_apartado.isEmpty())
        texto = tr("El historial estaba dañado: se apartó como %1 y se empezó uno nuevo.").arg(m_apartado);
    if (!m_disponible || !m_espera.isEmpty()) {
        if (!texto.isEmpty())
            texto += QLatin1Char(' ');
        texto += tr("Historial no disponible (%1): %2. Los envíos siguen; %3 registro(s) en espera.")
                     .arg(m_ruta, m_motivo)
                     .arg(m_espera.size());
    }
    if (m_descartadas > 0)
        texto += QLatin1Char(' ') + tr("%1 registro(s) no se pudieron guardar.").arg(m_descartadas);
    return texto;
}

QStringList Historial::tomarAvisos()
{
    QStringList avisos;
    avisos.swap(m_avisos);
    return avisos;
}

void Historial::reintentar(bool sinEsperar)
{
    if ((m_disponible && m_espera.isEmpty()) || m_ruta.isEmpty())
        return;
    if (!sinEsperar && m_desdeIntento.isValid() && m_desdeIntento.elapsed() < kEsperaReintentoMs)
        return;
    m_desdeIntento.start();
    if (!m_disponible && !conectar())
        return;
    escribirEspera();
}

void Historial::agregarEnviado(const QString &fechaHora, const QString &numero, const QString &mensaje,
                               const QString &resultado, int gateway)
{
    encolar({Tipo::Enviado, fechaHora, numero, mensaje, resultado, QString(), 0, gateway});
}

void Historial::agregarRecibido(const QString &fechaHora, const QString &numero, const QString &mensaje)
{
    encolar({Tipo::Recibido, fechaHora, numero, mensaje, QString(), QString(), 0});
}

void Historial::agregarRecibidos(const QString &fechaHora, const QStringList &numeros,
                                 const QStringList &mensajes, int gateway)
{
    const int n = qMin(numeros.size(), mensajes.size());
    m_espera.reserve(m_espera.size() + n);
    for (int i = 0; i < n; ++i)
        m_espera.append(
            {Tipo::Recibido, fechaHora, numeros.at(i), mensajes.at(i), QString(), QString(), 0, gateway});
    if (m_disponible && m_motivo.isEmpty())
        escribirEspera();
    recortarEspera();
}

void Historial::encolar(Fila fila)
{
    m_espera.append(std::move(fila));
    // While failing, rows wait for the next retry instead of meeting the same failure each.
    if (m_disponible && m_motivo.isEmpty())
        escribirEspera();
    recortarEspera();
}

QSqlError Historial::escribirFilas(int &escritas, bool &hayEnviados, bool &hayRecibidos)
{
    static const QString sql[] = {
        QStringLiteral(
            "INSERT INTO enviados (fecha_hora, numero, mensaje, resultado, gateway) VALUES (?, ?, ?, ?, ?)"),
        QStringLiteral("INSERT INTO recibidos (fecha_hora, numero, mensaje, gateway) VALUES (?, ?, ?, ?)"),
        QStringLiteral(
            "INSERT INTO bajas (fecha_hora, numero, texto, origen, digitos) VALUES (?, ?, ?, ?, ?)"),
        QStringLiteral("UPDATE bajas SET quitada = ? WHERE quitada IS NULL AND substr(digitos, -?) = ?"),
    };
    QSqlDatabase db = QSqlDatabase::database(m_nombre, false);
    QSqlQuery consultas[] = {QSqlQuery(db), QSqlQuery(db), QSqlQuery(db), QSqlQuery(db)};
    bool preparadas[] = {false, false, false, false};
    QSqlError error;
    // A backlog goes in one transaction; a single row stays a single short commit.
    const bool lote = m_espera.size() > 1 && db.transaction();
    for (const Fila &f : qAsConst(m_espera)) {
        const int tipo = int(f.tipo);
        QSqlQuery &q = consultas[tipo];
        if (!preparadas[tipo]) {
            preparadas[tipo] = q.prepare(sql[tipo]);
            if (!preparadas[tipo]) {
                error = q.lastError();
                break;
            }
        }
        q.bindValue(0, f.fechaHora);
        if (f.tipo == Tipo::Quitada) {
            q.bindValue(1, f.cifras);
            q.bindValue(2, f.digitos);
        } else {
            q.bindValue(1, f.numero);
            // An opt-out by hand has no reply's text: a null one would be SQL NULL.
            q.bindValue(2, f.mensaje.isNull() ? QStringLiteral("") : f.mensaje);
        }
        if (f.tipo == Tipo::Enviado || f.tipo == Tipo::Baja)
            q.bindValue(3, f.resultado);
        if (f.tipo == Tipo::Enviado)
            q.bindValue(4, f.gateway);
        else if (f.tipo == Tipo::Recibido)
            q.bindValue(3, f.gateway);
        if (f.tipo == Tipo::Baja)
            q.bindValue(4, f.digitos);
        if (!q.exec()) {
            error = q.lastError();
            break;
        }
        ++escritas;
        if (f.tipo == Tipo::Enviado)
            hayEnviados = true;
        else if (f.tipo == Tipo::Recibido)
            hayRecibidos = true;
    }
    if (lote && !error.isValid() && !db.commit())
        error = db.lastError();
    if (lote && error.isValid()) {
        db.rollback();
        escritas = 0;
        hayEnviados = hayRecibidos = false;
    }
    if (!error.isValid() && (hayEnviados || hayRecibidos))
        completarNumeros(db);
    return error;
}

void Historial::escribirEspera()
{
    if (!m_disponible || m_espera.isEmpty())
        return;
    bool hayEnviados = false;
    bool hayRecibidos = false;
    QSqlError error;
    for (int intento = 0; intento < 2; ++intento) {
        int escritas = 0;
        error = escribirFilas(escritas, hayEnviados, hayRecibidos);
        m_espera.erase(m_espera.begin(), m_espera.begin() + escritas);
        if (m_cargadas > 0) {
            m_cargadas = qMax(0, m_cargadas - escritas);
            if (m_cargadas == 0)
                QFile::remove(rutaEspera(m_ruta));
        }
        if (!error.isValid() || esDano(error.nativeErrorCode()) || intento > 0)
            break;
        // A connection opened while the file could not be written (read-only then, say) stays
        // so: it is opened anew once before the rows are left waiting.
        qCDebug(catApp).noquote() << "historial: se abre de nuevo tras" << textoError(error);
        if (!conectar())
            return;
    }
    if (hayEnviados)
        emit agregados(false);
    if (hayRecibidos)
        emit agregados(true);
    if (error.isValid()) {
        m_desdeIntento.start();
        if (!esDano(error.nativeErrorCode())) {
            // The connection stays: the retry writes through it.
            fallar(textoError(error));
            return;
        }
        // Set aside and start anew; the rows wait for the new file.
        desconectar();
        if (!apartarDanado()) {
            fallar(tr("el archivo está dañado y no se pudo apartar: %1").arg(textoError(error)));
            return;
        }
        if (conectar())
            escribirEspera();
        return;
    }
    if (m_espera.isEmpty()) {
        m_avisado = false;
        m_motivo.clear();
    }
}

void Historial::fallar(const QString &motivo)
{
    m_motivo = motivo;
    qCDebug(catApp).noquote() << "historial:" << m_ruta << motivo;
    if (m_avisado)
        return;
    m_avisado = true;
    m_avisos << tr("No se pudo escribir el historial %1: %2. Los envíos siguen; lo que falta se guarda "
                   "cuando se pueda.")
                    .arg(m_ruta, motivo);
}

bool Historial::conectar()
{
    desconectar();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        fallar(tr("falta el controlador SQLite de Qt"));
        return false;
    }
    for (int intento = 0; intento < 2; ++intento) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_nombre);
            db.setDatabaseName(m_ruta);
            // A file locked by someone else is waited for only briefly: the window must not stall.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=50"));
            QString error;
            Falla falla = Falla::Pasajera;
            if (!db.open())
                error = textoError(db.lastError());
            else
                falla = prepararEsquema(db, error);
            if (falla == Falla::Ninguna) {
                m_disponible = true;
                alConectar(db);
                if (m_espera.isEmpty()) {
                    m_motivo.clear();
                    m_avisado = false;
                }
                return true;
            }
            db.close();
            if (falla == Falla::Pasajera) {
                fallar(error);
                // Kept registered: base() stays invalid until it opens.
                return false;
            }
        }
        QSqlDatabase::removeDatabase(m_nombre);
        if (!apartarDanado()) {
            fallar(tr("el archivo está dañado y no se pudo apartar"));
            return false;
        }
    }
    fallar(tr("no se pudo empezar un historial nuevo"));
    return false;
}

void Historial::desconectar()
{
    m_disponible = false;
    if (!QSqlDatabase::contains(m_nombre))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_nombre, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_nombre);
}

Historial::Falla Historial::prepararEsquema(QSqlDatabase &db, QString &error)
{
    QSqlQuery q(db);
    auto fallo = [&](const QSqlError &e) {
        error = textoError(e);
        return esDano(e.nativeErrorCode()) ? Falla::Danada : Falla::Pasajera;
    };
    // Reading the version is the first touch of the file: a file that is no database says so here.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return fallo(q.lastError());
    int version = q.value(0).toInt();
    q.finish();
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return fallo(q.lastError());
    q.finish();
    // With WAL a commit is durable against a crash of the program; only a power cut may lose
    // the last rows, never the file.
    if (!q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return fallo(q.lastError());
    // A newer program's schema is used as it is: its tables hold ours.
    for (++version; version <= kVersionEsquema; ++version) {
        if (!db.transaction())
            return fallo(db.lastError());
        for (const QString &sql : paso(version)) {
            if (!q.exec(sql)) {
                const Falla f = fallo(q.lastError());
                db.rollback();
                return f;
            }
        }
        if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version))) {
            const Falla f = fallo(q.lastError());
            db.rollback();
            return f;
        }
        if (!db.commit()) {
            const Falla f = fallo(db.lastError());
            db.rollback();
            return f;
        }
    }
    // A damaged page shows when it is read; a cheap look at the tables catches most at once.
    if (!q.exec(QStringLiteral("SELECT max(id) FROM enviados")) ||
        !q.exec(QStringLiteral("SELECT max(id) FROM recibidos")) ||
        !q.exec(QStringLiteral("SELECT max(id) FROM bajas")))
        return fallo(q.lastError());
    return Falla::Ninguna;
}

bool Historial::apartarDanado()
{
    const QString sufijo =
        QStringLiteral(".danado-") + reloj::ahora().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString destino = m_ruta + sufijo;
    for (int n = 2; QFile::exists(destino); ++n)
        destino = m_ruta + sufijo + QLatin1Char('-') + QString::number(n);
    if (QFile::exists(m_ruta) && !QFile::rename(m_ruta, destino))
        return false;
    // The journal files belong to the old file: left here they would be read into the new one.
    for (const char *extra : {"-wal", "-shm"}) {
        const QString de = m_ruta + QLatin1String(extra);
        if (QFile::exists(de) && !QFile::rename(de, destino + QLatin1String(extra)))
            QFile::remove(de);
    }
    m_apartado = destino;
    m_nuevoTrasDano = true;
    qCWarning(catApp).noquote() << "historial danado, apartado como" << destino;
    return true;
}

void Historial::iniciarVerificacion()
{
    if (m_verificacion || !m_disponible)
        return;
    if (QFileInfo(m_ruta).size() > kMaxVerificacion) {
        qCDebug(catApp).noquote() << "historial: demasiado grande para revisarlo al arrancar:" << m_ruta;
        return;
    }
    const QString ruta = m_ruta;
    const QString nombre = m_nombre + QStringLiteral("-revision");
    m_verificacion = QThread::create([this, ruta, nombre] {
        QString resultado;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
            db.setDatabaseName(ruta);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(QStringLiteral("PRAGMA quick_check")) && q.next())
                    resultado = q.value(0).toString();
                else if (esDano(q.lastError().nativeErrorCode()))
                    resultado = textoError(q.lastError());
            }
        }
        QSqlDatabase::removeDatabase(nombre);
        QMetaObject::invokeMethod(
            this, [this, ruta, resultado] { terminarVerificacion(ruta, resultado); }, Qt::QueuedConnection);
    });
    m_verificacion->start(QThread::LowPriority);
}

void Historial::terminarVerificacion(const QString &ruta, const QString &resultado)
{
    if (m_verificacion) {
        m_verificacion->wait();
        delete m_verificacion;
        m_verificacion = nullptr;
    }
    // Empty: the check could not run (locked, say); the file is used as it is.
    if (ruta != m_ruta || resultado.isEmpty() || resultado == QLatin1String("ok"))
        return;
    qCWarning(catApp).noquote() << "historial: la revisión encontró daños en" << ruta << ":" << resultado;
    desconectar();
    if (!apartarDanado()) {
        fallar(tr("el archivo está dañado y no se pudo apartar: %1").arg(resultado));
        return;
    }
    if (conectar())
        escribirEspera();
    emit agregados(false);
    emit agregados(true);
}

} // namespace historial
