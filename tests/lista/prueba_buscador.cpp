// The worker's search that remembers what it read chooses exactly what a search of the whole
// outbox chooses, whatever happens to the outbox, the hold and the clock between two searches.

#include "common/entorno_prueba.h"
#include "common/outbox_al_azar.h"
#include "common/vencida.h"
#include "lista/archivos_datos.h"
#include "lista/buscador_outbox.h"

#include <QSet>
#include <QtTest>

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
    outbox_al_azar::OutboxAlAzar mundo(semilla);
    mundo.ruta = dir.filePath(QStringLiteral("salidas.csv"));
    outbox::Buscador buscador(
        [](const char *fecha, int largo) { return reglas_envio::leerFecha(fecha, largo); });
    // Numbers ending in these digits are opted out; one leaving makes the search start again, as
    // the service does.
    QSet<char> bajas;
    const auto deBaja = [&bajas](const char *linea, int largo) {
        const QByteArray l = QByteArray::fromRawData(linea, largo);
        const int a = l.indexOf(',');
        const int b = l.indexOf(',', a + 1);
        return a >= 0 && b > a + 1 && bajas.contains(l.at(b - 1));
    };
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
        else if (accion < 63)
            bajas.insert(char('0' + mundo.al(10)));
        else if (accion < 65 && !bajas.isEmpty()) {
            bajas.erase(bajas.begin());
            buscador.olvidar();
        }
        // A cycle now and then: several changes may come between two.
        if (mundo.al(3) == 0)
            continue;
        outbox::Pendiente completo;
        retencion::Omision omision(mundo.entradas);
        const outbox::ResultadoBusqueda esperado = outbox::buscarPendiente(
            mundo.ruta, vencidaEl(mundo.hoy), completo, [&](const char *linea, int largo) {
                return omision.retenida(linea, largo) >= 0 || deBaja(linea, largo);
            });
        outbox::Pendiente elegido;
        const outbox::ResultadoBusqueda r =
            buscador.buscar(mundo.ruta, mundo.hoy, mundo.entradas, mundo.version, elegido,
                            bajas.isEmpty() ? outbox::Omitir() : deBaja);
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
