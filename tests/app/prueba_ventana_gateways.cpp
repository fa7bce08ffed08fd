// The gateways on the window: the list saved from the configuration tab and read back, the lists
// it refuses, and the status tab's line per gateway.

#include "app/avisos.h"
#include "app/lista_gateways.h"
#include "app/pagina_gateways.h"
#include "common/ventana_prueba.h"
#include "gateway/test_conex.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

namespace {

// One gateway of the table: "address|key|on|pace|hour|day".
using Filas = QStringList;

QStringList aTexto(const QVector<ajustes::AjustesGateway> &lista)
{
    QStringList texto;
    for (const ajustes::AjustesGateway &g : lista)
        texto << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                     .arg(g.numero)
                     .arg(g.direccion, g.clave)
                     .arg(g.activo)
                     .arg(g.ritmo)
                     .arg(g.topeHora)
                     .arg(g.topeDia);
    return texto;
}

} // namespace

class PruebaVentanaGateways : public QObject, public VentanaPrueba
{
    Q_OBJECT

    // Adds a gateway with the button and fills its row as the operator would (the address typed
    // into the editor the button opens).
    void agregar(const QString &fila)
    {
        const QStringList campos = fila.split(QLatin1Char('|'));
        QTableWidget *tabla = ui->tablaGateways;
        QTest::mouseClick(ui->botonAgregarGateway, Qt::LeftButton);
        const int r = tabla->currentRow();
        auto *editor = qobject_cast<QLineEdit *>(tabla->indexWidget(tabla->currentIndex()));
        QVERIFY(editor);
        editor->setText(campos.at(0));
        tabla->item(r, 2)->setText(campos.at(1));
        tabla->item(r, 3)->setCheckState(campos.at(2) == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
        for (int c = 3; c < 6; ++c)
            tabla->item(r, c + 1)->setData(Qt::EditRole, campos.at(c).toInt());
    }

private slots:
    void init() { reiniciar(); }
    void cleanup() { liberar(); }

    void guardar_data()
    {
        QTest::addColumn<Filas>("filas");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("guardados");
        QTest::newRow("dos gateways")
            << Filas{QStringLiteral(" http://10.0.0.2/ |ab c|0|600|100|0")} << QString()
            << QStringList{QStringLiteral("1 127.0.0.1:1 1234 1 30 0 500"),
                           QStringLiteral("2 10.0.0.2 key=ab c 0 600 100 0")};
        QTest::newRow("sin dirección")
            << Filas{QStringLiteral("|x|1|0|0|0")}
            << QStringLiteral("Falta la dirección del gateway 2. Escríbala o quite ese "
                              "gateway de la lista.")
            << QStringList();
        QTest::newRow("dirección inválida")
            << Filas{QStringLiteral("10.0.0.2|x|1|0|0|0"), QStringLiteral("10.0.0.3/sms|x|1|0|0|0")}
            << QStringLiteral(
                   "La dirección del gateway 3 (\"10.0.0.3/sms\") no es válida.\nEscriba solo la IP o el "
                   "nombre del equipo, y el puerto si hace falta (por ejemplo 192.168.0.20:8080).")
            << QStringList();
        QTest::newRow("clave inválida")
            << Filas{QStringLiteral("10.0.0.2|a&b|1|0|0|0")}
            << QStringLiteral("La clave del gateway 2 no es válida: no puede contener "
                              "\"&\", saltos de línea ni caracteres nulos.")
            << QStringList();
        QTest::newRow("mismo equipo")
            << Filas{QStringLiteral("HTTP://127.0.0.1:1|x|1|0|0|0")}
            << QStringLiteral(
                   "Los gateways 1 y 2 tienen la misma dirección (127.0.0.1:1): cada gateway de la lista "
                   "debe ser un equipo distinto.")
            << QStringList();
    }
    void guardar()
    {
        QFETCH(Filas, filas);
        QFETCH(QString, error);
        QFETCH(QStringList, guardados);
        // A gateway that is not there: the check after "Guardar" fails at once, and the dialog is closed.
        ui->IPGateway->setText(QStringLiteral("127.0.0.1:1"));
        ui->NgwKey->setText(QStringLiteral("1234"));
        ui->spinRitmo->setValue(30);
        ui->spinTopeDia->setValue(500);
        ui->checkMismoGateway->setChecked(false);
        for (const QString &fila : filas)
            agregar(fila);
        if (error.isEmpty())
            ventana_prueba::alAbrirse<test_conex>([](test_conex *d) { d->close(); });
        QTest::mouseClick(ui->pushActualizarConex, Qt::LeftButton);

        QCOMPARE(CuadroMensaje::textosMostrados(), error.isEmpty() ? QStringList() : QStringList{error});
        if (!error.isEmpty()) {
            // Nothing of a refused list is stored.
            QCOMPARE(lista_gateways::leer().size(), 1);
            QVERIFY(!ajustes::contiene(ajustes::Clave::RitmoGateway));
            QVERIFY(!ajustes::contiene(ajustes::Clave::MismoGatewayPorNumero));
            return;
        }
        QCOMPARE(aTexto(lista_gateways::leer()), guardados);
        QCOMPARE(ui->tablaGateways->item(0, 1)->text(), QStringLiteral("10.0.0.2"));
        QCOMPARE(ajustes::leerBool(ajustes::Clave::MismoGatewayPorNumero), false);
        // A key left at its default is not written.
        QVERIFY(!ajustes::contiene(ajustes::Clave::TopeHora));

        // Read back by the next start; a gateway removed there loses its keys, and the next one added
        // takes its number again.
        construir();
        QTRY_VERIFY(!w->servicio()->conexionOcupada());
        QCOMPARE(ui->spinRitmo->value(), 30);
        QCOMPARE(ui->tablaGateways->rowCount(), guardados.size() - 1);
        ui->tablaGateways->setCurrentCell(0, 1);
        QTest::mouseClick(ui->botonQuitarGateway, Qt::LeftButton);
        QVERIFY(ui->tablaGateways->isHidden());
        ventana_prueba::alAbrirse<test_conex>([](test_conex *d) { d->close(); });
        QTest::mouseClick(ui->pushActualizarConex, Qt::LeftButton);
        QCOMPARE(lista_gateways::leer().size(), 1);
        QVERIFY(!ajustes::contiene(*ajustes::claveGateway(2, ajustes::CampoGateway::Ritmo)));
        QTest::mouseClick(ui->botonAgregarGateway, Qt::LeftButton);
        QCOMPARE(ui->tablaGateways->item(0, 0)->text(), QStringLiteral("2"));
    }

    // One line per gateway, only when there is more to say than the state label does.
    void lineasDeEstado()
    {
        servicio::Instantanea i;
        i.gateways.resize(1);
        PaginaGateways pagina(ui);
        pagina.mostrar(i);
        QVERIFY(ui->tablaEstadoGateways->isHidden());

        servicio::EstadoGateway segundo;
        segundo.numero = 3;
        segundo.direccion = QStringLiteral("10.0.0.3");
        segundo.texto = QStringLiteral("Libre");
        segundo.situacion.ritmo = 120;
        segundo.situacion.topeHora = 100;
        segundo.situacion.enviadosHora = 12;
        segundo.situacion.enviadosDia = 40;
        i.gateways.append(segundo);
        i.gateways[0].activo = false;
        pagina.mostrar(i);
        QVERIFY(!ui->tablaEstadoGateways->isHidden());
        QStringList celdas;
        for (int c = 0; c < ui->tablaEstadoGateways->columnCount(); ++c)
            celdas << ui->tablaEstadoGateways->item(1, c)->text();
        QCOMPARE(celdas, (QStringList{QStringLiteral("3"), QStringLiteral("10.0.0.3"),
                                      QStringLiteral("12 de 100"), QStringLiteral("40"),
                                      QStringLiteral("120 por minuto"), QStringLiteral("Libre")}));
        QCOMPARE(ui->tablaEstadoGateways->item(0, 5)->text(), QStringLiteral("Desactivado"));
        // The tray sums them.
        QVERIFY(avisos::textoInformacion(QString(), 0, 0, 0, 0, lista_gateways::enServicio(i.gateways), 2)
                    .endsWith(QStringLiteral("\nGateways enviando: 1 de 2")));
    }
};

NBSMS_TEST_MAIN(PruebaVentanaGateways)
#include "prueba_ventana_gateways.moc"
