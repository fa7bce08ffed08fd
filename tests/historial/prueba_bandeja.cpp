// The queue tab's model keeps an index of the outbox and brings it up to date with what changed;
// what it shows is what all the pending records read afresh show, whatever happened between two
// looks, with or without a filter.

#include "common/entorno_prueba.h"
#include "common/outbox_al_azar.h"
#include "historial/modelo_bandeja.h"
#include "lista/indice_pendientes.h"

#include <QtTest>

namespace {

QString estadoDe(const retencion::Entrada *e)
{
    if (!e)
        return QString();
    return e->estado == retencion::Estado::EnVuelo
               ? QStringLiteral("Enviándose")
               : QStringLiteral("En duda: el gateway pudo haberlo enviado");
}

// The rows as a load of every pending record shows them.
QStringList esperadas(const QString &ruta, const QVector<retencion::Entrada> &entradas, const QString &filtro,
                      bool soloEnDuda, int &total, int &enDuda)
{
    QVector<outbox::RegistroPendiente> registros;
    outbox::leerPendientes(ruta, registros);
    retencion::Omision omision(entradas);
    QStringList filas;
    total = registros.size();
    enDuda = 0;
    for (const outbox::RegistroPendiente &r : qAsConst(registros)) {
        const int i = omision.retenida(r.linea.constData(), r.linea.size());
        const retencion::Entrada *e = i >= 0 ? &entradas.at(i) : nullptr;
        const bool duda = e && e->estado != retencion::Estado::EnVuelo;
        enDuda += duda ? 1 : 0;
        if ((soloEnDuda && !duda) || (!filtro.isEmpty() && !r.numero.contains(filtro, Qt::CaseInsensitive) &&
                                      !r.mensaje.contains(filtro, Qt::CaseInsensitive)))
            continue;
        filas << QStringList{r.numero, r.fecha, r.mensaje, QString::number(r.numeroLinea), estadoDe(e)}.join(
            u'|');
    }
    return filas;
}

QStringList mostradas(const historial::ModeloBandeja &modelo)
{
    QStringList filas;
    for (int f = 0; f < modelo.rowCount(); ++f) {
        QStringList celdas;
        for (int c = 0; c < modelo.columnCount(); ++c)
            celdas << modelo.index(f, c).data().toString();
        filas << celdas.join(u'|');
    }
    return filas;
}

} // namespace

class PruebaBandeja : public QObject
{
    Q_OBJECT

private slots:
    void igualQueLeerTodo_data();
    void igualQueLeerTodo();
    void soloLoQueCambio();
};

void PruebaBandeja::igualQueLeerTodo_data()
{
    QTest::addColumn<quint32>("semilla");
    for (const quint32 semilla : {7u, 8u, 9u})
        QTest::newRow(qPrintable(QString::number(semilla))) << semilla;
}

void PruebaBandeja::igualQueLeerTodo()
{
    QFETCH(quint32, semilla);
    static const char *const filtros[] = {"", "hola", "1140002222", "CUOTA, V"};
    QTemporaryDir dir;
    outbox_al_azar::OutboxAlAzar mundo(semilla);
    mundo.ruta = dir.filePath(QStringLiteral("salidas.csv"));
    historial::ModeloBandeja modelo;
    QString filtro;
    bool soloEnDuda = false;
    for (int paso = 0; paso < 500; ++paso) {
        const int accion = mundo.al(100);
        if (accion < 35)
            mundo.anexar();
        else if (accion < 55)
            mundo.marcar();
        else if (accion < 70)
            mundo.cambiarRetencion();
        else if (accion < 76)
            mundo.reescribir();
        else if (accion < 82)
            mundo.editarAMano();
        else if (accion < 90)
            filtro = QString::fromLatin1(filtros[mundo.al(4)]);
        else
            soloEnDuda = mundo.al(3) == 0;
        if (mundo.al(3) == 0)
            continue;
        modelo.actualizar(mundo.ruta, mundo.entradas, mundo.version);
        modelo.filtrar(filtro, soloEnDuda);
        int total = 0;
        int enDuda = 0;
        QCOMPARE(mostradas(modelo), esperadas(mundo.ruta, mundo.entradas, filtro, soloEnDuda, total, enDuda));
        QCOMPARE(modelo.total(), total);
        QCOMPARE(modelo.totalEnDuda(), enDuda);
    }
}

// Appends and marks of the program's own are read as such; anyone else's change reads everything.
void PruebaBandeja::soloLoQueCambio()
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
    const auto agregar = [&ruta] {
        QVERIFY(archivos_datos::agregarRegistroOutbox(ruta, QStringLiteral("1140001111"),
                                                      QStringLiteral("01/06/2026"), QStringLiteral("Hola")));
    };
    agregar();
    agregar();
    outbox::IndicePendientes indice;
    QVERIFY(indice.actualizar(ruta).todo);
    QVERIFY(!indice.actualizar(ruta).hubo());
    agregar();
    const outbox::RegistroPendiente primera = outbox_al_azar::pendientes(ruta).at(0);
    QCOMPARE(outbox::marcarEnviado(ruta, primera.posicion, primera.linea), outbox::ResultadoMarca::Marcada);
    const outbox::IndicePendientes::Cambios cambios = indice.actualizar(ruta);
    QVERIFY(!cambios.todo);
    QCOMPARE(cambios.quitadas, QVector<int>{0});
    QCOMPARE(cambios.nuevas, 1);
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::Append) && f.write("e,1140005555,01/06/2026,A mano\n") > 0);
    f.close();
    QVERIFY(indice.actualizar(ruta).todo);
    QCOMPARE(indice.cantidad(), 3);
}

NBSMS_TEST_MAIN(PruebaBandeja)
#include "prueba_bandeja.moc"
