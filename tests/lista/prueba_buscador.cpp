// The worker's search that remembers what it read chooses exactly what a search of the whole
// outbox chooses, whatever happens to the outbox, the hold and the clock between two searches.

#include "common/entorno_prueba.h"
#include "common/vencida.h"
#include "lista/archivos_datos.h"
#include "lista/buscador_outbox.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray leer(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The pending lines with their offsets.
QVector<outbox::Referencia> pendientes(const QString &ruta)
{
    QVector<outbox::Referencia> lineas;
    const QByteArray bytes = leer(ruta);
    qint64 inicio = 0;
    while (inicio < bytes.size()) {
        qint64 fin = bytes.indexOf('\n', int(inicio));
        if (fin < 0)
            fin = bytes.size();
        QByteArray linea = bytes.mid(int(inicio), int(fin - inicio));
        if (linea.endsWith('\r'))
            linea.chop(1);
        if (linea.startsWith("e,"))
            lineas.append({inicio, linea});
        inicio = fin + 1;
    }
    return lineas;
}

class Mundo
{
public:
    explicit Mundo(quint32 semilla) : m_azar(semilla) {}

    QString ruta;
    QDate hoy{2026, 6, 15};
    QVector<retencion::Entrada> entradas;
    unsigned version = 0;

    // A record as a list, a hand or a damaged file leaves one.
    void anexar()
    {
        static const char *const numeros[] = {"1140001111", "1140002222", "", "11&4000", "1140003333"};
        static const char *const mensajes[] = {"Hola", "Su cuota, vence", "texto &num=5", "Aviso"};
        const int cantidad = m_azar.bounded(1, 6);
        archivos_datos::AnexadorOutbox anexador(ruta);
        for (int i = 0; i < cantidad; ++i) {
            const QString numero = QString::fromLatin1(numeros[m_azar.bounded(5)]);
            const QString mensaje = QString::fromLatin1(mensajes[m_azar.bounded(4)]);
            if (m_azar.bounded(2))
                archivos_datos::agregarRegistroOutbox(ruta, numero, fecha(), mensaje);
            else
                anexador.acumular(numero, fecha(), mensaje);
        }
        anexador.vaciar();
    }

    QString fecha()
    {
        switch (m_azar.bounded(5)) {
        case 0:
            return QStringLiteral("--inmediato--");
        case 1:
            return QStringLiteral("31/02/2026");
        default:
            return hoy.addDays(m_azar.bounded(-3, 6)).toString(QStringLiteral("dd/MM/yyyy"));
        }
    }

    // Another program's edit: in place keeping the size, written anew, or put in its place; at a
    // moment of its own, as a person's edit is.
    void editarAMano()
    {
        QByteArray bytes = leer(ruta);
        const int caso = m_azar.bounded(4);
        if (caso == 0 && !bytes.isEmpty()) {
            const int i = m_azar.bounded(bytes.size());
            if (bytes.at(i) == 'e' || bytes.at(i) == 'E')
                bytes[i] = bytes.at(i) == 'e' ? 'E' : 'e';
            else if (bytes.at(i) >= '0' && bytes.at(i) <= '8')
                bytes[i] = char(bytes.at(i) + 1);
        } else if (caso == 1) {
            bytes.append("e,1140009999," + hoy.toString(QStringLiteral("dd/MM/yyyy")).toLatin1() +
                         ",A mano\n");
        } else if (caso == 2 && bytes.size() > 10) {
            bytes.remove(0, bytes.indexOf('\n') + 1);
        }
        if (caso == 3) {
            const QString otro = ruta + QStringLiteral(".nuevo");
            QFile f(otro);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes + "e,1140008888,--inmediato--,Reemplazo\n");
            f.close();
            QVERIFY(archivos_datos::reemplazar(otro, ruta));
        } else {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(0) && f.write(bytes) == bytes.size());
        }
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadWrite));
        m_aMano = m_aMano.isValid() ? m_aMano.addSecs(1) : QDateTime(QDate(2001, 1, 1), QTime(0, 0));
        QVERIFY(f.setFileTime(m_aMano, QFileDevice::FileModificationTime));
    }

    void cambiarRetencion()
    {
        const QVector<outbox::Referencia> lineas = pendientes(ruta);
        if (m_azar.bounded(3) == 0 && !entradas.isEmpty())
            entradas.remove(m_azar.bounded(entradas.size()));
        else if (m_azar.bounded(6) == 0)
            entradas.clear();
        else if (!lineas.isEmpty())
            entradas.append(
                {lineas.at(m_azar.bounded(lineas.size())).linea, retencion::Estado::EnDuda, {}, {}});
        ++version;
    }

    void reescribir()
    {
        const QString temporal = QFileInfo(ruta).absoluteDir().filePath(QStringLiteral("compactando.csv"));
        const QVector<outbox::Referencia> lineas = pendientes(ruta);
        switch (m_azar.bounded(3)) {
        case 0:
            outbox::compactar(ruta, temporal);
            break;
        case 1:
            if (!lineas.isEmpty())
                outbox::cancelar(ruta, temporal, {lineas.at(m_azar.bounded(lineas.size()))},
                                 outbox::EnMano());
            break;
        default:
            outbox::agregarPrimero(ruta, temporal, QStringLiteral("1140007777"), hoy.toString("dd/MM/yyyy"),
                                   QStringLiteral("Urgente"));
        }
    }

    // What the worker does with its choice: in flight, then sent (marked), failed or in doubt.
    void enviar(const outbox::Pendiente &p)
    {
        entradas.append({p.linea, retencion::Estado::EnVuelo, {}, {}});
        ++version;
        const int desenlace = m_azar.bounded(3);
        if (desenlace == 0)
            outbox::marcarEnviado(ruta, p.posicion, p.linea);
        if (desenlace != 2)
            entradas.removeLast();
        else
            entradas.last().estado = retencion::Estado::EnDuda;
        ++version;
    }

    int al(int n) { return m_azar.bounded(n); }

private:
    QRandomGenerator m_azar;
    QDateTime m_aMano;
};

} // namespace

class PruebaBuscador : public QObject
{
    Q_OBJECT

private slots:
    void igualQueLeerTodo_data();
    void igualQueLeerTodo();
    void reposoNoRelee();
};

void PruebaBuscador::igualQueLeerTodo_data()
{
    QTest::addColumn<quint32>("semilla");
    for (const quint32 semilla : {1u, 2u, 3u, 20260615u})
        QTest::newRow(qPrintable(QString::number(semilla))) << semilla;
}

void PruebaBuscador::igualQueLeerTodo()
{
    QFETCH(quint32, semilla);
    QTemporaryDir dir;
    Mundo mundo(semilla);
    mundo.ruta = dir.filePath(QStringLiteral("salidas.csv"));
    outbox::Buscador buscador(
        [](const char *fecha, int largo) { return reglas_envio::leerFecha(fecha, largo); });
    int busquedas = 0;
    for (int paso = 0; paso < 1500; ++paso) {
        const int accion = mundo.al(100);
        if (accion < 30)
            mundo.anexar();
        else if (accion < 40)
            mundo.cambiarRetencion();
        else if (accion < 50)
            mundo.hoy = mundo.hoy.addDays(mundo.al(5) - 1);
        else if (accion < 55)
            mundo.reescribir();
        else if (accion < 60)
            mundo.editarAMano();
        // A cycle now and then: several changes may come between two.
        if (mundo.al(3) == 0)
            continue;
        outbox::Pendiente completo;
        retencion::Omision omision(mundo.entradas);
        const outbox::ResultadoBusqueda esperado = outbox::buscarPendiente(
            mundo.ruta, vencidaEl(mundo.hoy), completo,
            [&omision](const char *linea, int largo) { return omision.retenida(linea, largo) >= 0; });
        outbox::Pendiente elegido;
        const outbox::ResultadoBusqueda r =
            buscador.buscar(mundo.ruta, mundo.hoy, mundo.entradas, mundo.version, elegido);
        ++busquedas;
        QCOMPARE(r, esperado);
        if (r == outbox::ResultadoBusqueda::Encontrado) {
            QCOMPARE(elegido.posicion, completo.posicion);
            QCOMPARE(elegido.linea, completo.linea);
            if (mundo.al(2))
                mundo.enviar(elegido);
        }
    }
    // And it did not read everything every time.
    QVERIFY2(buscador.lecturas().completas < busquedas / 2,
             qPrintable(QStringLiteral("%1 de %2").arg(buscador.lecturas().completas).arg(busquedas)));
}

// Idle with many records dated later, a cycle reads only what was appended since the last one.
void PruebaBuscador::reposoNoRelee()
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
    const QDate hoy(2026, 6, 15);
    archivos_datos::AnexadorOutbox anexador(ruta);
    for (int i = 0; i < 1000; ++i)
        anexador.acumular(QStringLiteral("1140001111"), QStringLiteral("16/06/2026"),
                          QStringLiteral("Luego"));
    QVERIFY(anexador.vaciar());
    outbox::Buscador buscador(
        [](const char *fecha, int largo) { return reglas_envio::leerFecha(fecha, largo); });
    outbox::Pendiente p;
    for (int ciclo = 0; ciclo < 100; ++ciclo)
        QCOMPARE(buscador.buscar(ruta, hoy, {}, 0, p), outbox::ResultadoBusqueda::NoHay);
    QVERIFY(archivos_datos::agregarRegistroOutbox(ruta, QStringLiteral("1140002222"),
                                                  QStringLiteral("15/06/2026"), QStringLiteral("Ahora")));
    QCOMPARE(buscador.buscar(ruta, hoy, {}, 0, p), outbox::ResultadoBusqueda::Encontrado);
    QCOMPARE(p.mensaje, QStringLiteral("Ahora"));
    QCOMPARE(buscador.lecturas().completas, 1);
    QCOMPARE(buscador.lecturas().lineas, 1001);
    // The next day every line is due: read again from the first pending one.
    QCOMPARE(buscador.buscar(ruta, hoy.addDays(1), {}, 0, p), outbox::ResultadoBusqueda::Encontrado);
    QCOMPARE(p.posicion, 0);
    QCOMPARE(buscador.lecturas().desdePendiente, 1);
}

NBSMS_TEST_MAIN(PruebaBuscador)
#include "prueba_buscador.moc"
