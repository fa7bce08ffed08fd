// The schedule dialog offscreen: its form, loading the mask, OK and Cancel, two dialogs at once.

#include "ui/set_horario_envio.h"

#include "common/entorno_prueba.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {

QVariant guardado()
{
    return ajustes::contiene(ajustes::Clave::CheckHorarios) ? ajustes::leer(ajustes::Clave::CheckHorarios)
                                                            : QVariant();
}

void borrarClave()
{
    ajustes::borrar(ajustes::Clave::CheckHorarios);
}

quint32 marcadas(const set_horario_envio &d)
{
    quint32 m = 0;
    const QList<QCheckBox *> casillas = d.casillasHorario();
    for (int i = 0; i < casillas.size(); ++i)
        m |= casillas.at(i)->isChecked() ? (1u << i) : 0u;
    return m;
}

void pulsar(set_horario_envio *d, QDialogButtonBox::StandardButton boton)
{
    d->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(boton)->click();
}

} // namespace

class PruebaHorario : public QObject
{
    Q_OBJECT

private slots:
    void init() { borrarClave(); }

    void formulario()
    {
        set_horario_envio d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Horario de envio"));
        QCOMPARE(d.size(), QSize(333, 188));
        auto *grupo = d.findChild<QGroupBox *>(QStringLiteral("groupHorarioEnvio"));
        QVERIFY(grupo);
        QCOMPARE(grupo->title(), QString::fromUtf8("Horario de envío"));
        auto *botones = d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QVERIFY(botones);
        QCOMPARE(botones->orientation(), Qt::Horizontal);
        QCOMPARE(botones->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(botones->button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
        QCOMPARE(botones->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));

        const QList<QCheckBox *> casillas = d.casillasHorario();
        QCOMPARE(casillas.size(), 24);
        for (int i = 0; i < 24; ++i) {
            QCOMPARE(casillas.at(i)->objectName(),
                     QStringLiteral("horario_%1").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(casillas.at(i)->text().isEmpty());
            QCOMPARE(casillas.at(i)->parent(), grupo);
        }
        QCOMPARE(casillas.at(12)->maximumSize(), QSize(13, 13));
        QVERIFY(casillas.at(13)->maximumSize() != QSize(13, 13));

        const QStringList nombres3 = {"label_43", "label_21", "label_15", "label_19", "label_20", "label_30",
                                      "label_22", "label_24", "label_17", "label_16", "label_18", "label_23"};
        for (int h = 0; h < 24; ++h) {
            const QString nombre = h < 12 ? QStringLiteral("label_%1").arg(31 + h) : nombres3.at(h - 12);
            auto *etiqueta = grupo->findChild<QLabel *>(nombre, Qt::FindDirectChildrenOnly);
            QVERIFY2(etiqueta, qPrintable(nombre));
            QCOMPARE(etiqueta->text(), QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0')));
            QCOMPARE(etiqueta->minimumSize(), QSize(13, 13));
            QCOMPARE(etiqueta->maximumSize(), QSize(13, 13));
            QCOMPARE(etiqueta->alignment(), Qt::AlignCenter);
        }
        QCOMPARE(grupo->findChildren<QLabel *>().size(), 24);

        // Each hour's label stands above its box.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        for (int h = 0; h < 24; ++h) {
            const QString nombre = h < 12 ? QStringLiteral("label_%1").arg(31 + h) : nombres3.at(h - 12);
            auto *etiqueta = grupo->findChild<QLabel *>(nombre);
            QVERIFY(etiqueta->geometry().bottom() < casillas.at(h)->geometry().top());
            // Of the boxes of its row, its own is the nearest one.
            const int x = etiqueta->geometry().center().x();
            const int fila = h < 12 ? 0 : 12;
            int cercana = fila;
            for (int i = fila; i < fila + 12; ++i) {
                if (qAbs(casillas.at(i)->geometry().center().x() - x) <
                    qAbs(casillas.at(cercana)->geometry().center().x() - x))
                    cercana = i;
            }
            QCOMPARE(cercana, h);
        }
    }

    void cargarYAceptar_data()
    {
        QTest::addColumn<QVariant>("valor"); // invalid: key absent
        QTest::addColumn<quint32>("mostradas");
        QTest::addColumn<int>("trasOk");
        QTest::newRow("sin clave") << QVariant() << 0xFFFFFFu << 16777215;
        QTest::newRow("5") << QVariant(5) << 5u << 5;
        QTest::newRow("0") << QVariant(0) << 0u << 0;
        QTest::newRow("-1") << QVariant(-1) << 0xFFFFFFu << 16777215;
        QTest::newRow("solo 23") << QVariant(8388608) << 0x800000u << 8388608;
        // Not a 24-bit mask: the default, all hours.
        QTest::newRow("bits altos") << QVariant(int(0xFF000001u)) << 0xFFFFFFu << 16777215;
        QTest::newRow("no es un numero") << QVariant(QStringLiteral("abc")) << 0xFFFFFFu << 16777215;
    }
    void cargarYAceptar()
    {
        QFETCH(QVariant, valor);
        QFETCH(quint32, mostradas);
        QFETCH(int, trasOk);
        if (valor.isValid())
            ajustes::escribir(ajustes::Clave::CheckHorarios, valor);
        QPointer<set_horario_envio> d = new set_horario_envio;
        d->show();
        QCOMPARE(marcadas(*d), mostradas);
        pulsar(d, QDialogButtonBox::Ok);
        QVERIFY(!d->isVisible());
        QCOMPARE(guardado(), QVariant(trasOk));
        QTRY_VERIFY(d.isNull()); // closed dialogs go away
    }

    void aceptarEscribeLasMarcas()
    {
        auto *d = new set_horario_envio;
        const QList<QCheckBox *> casillas = d->casillasHorario();
        for (QCheckBox *c : casillas)
            c->setChecked(false);
        casillas.at(0)->setChecked(true);
        casillas.at(9)->setChecked(true);
        casillas.at(23)->setChecked(true);
        d->show();
        pulsar(d, QDialogButtonBox::Ok);
        QCOMPARE(guardado(), QVariant(int((1u << 0) | (1u << 9) | (1u << 23))));
    }

    void cancelarNoEscribe_data()
    {
        QTest::addColumn<QVariant>("valor");
        QTest::newRow("sin clave") << QVariant();
        QTest::newRow("5") << QVariant(5);
    }
    void cancelarNoEscribe()
    {
        QFETCH(QVariant, valor);
        if (valor.isValid())
            ajustes::escribir(ajustes::Clave::CheckHorarios, valor);
        QPointer<set_horario_envio> d = new set_horario_envio;
        d->show();
        for (QCheckBox *c : d->casillasHorario())
            c->toggle();
        pulsar(d, QDialogButtonBox::Cancel);
        QVERIFY(!d->isVisible());
        QCOMPARE(guardado(), valor);
        QTRY_VERIFY(d.isNull());
    }

    void escapeNoEscribe()
    {
        ajustes::escribir(ajustes::Clave::CheckHorarios, 7);
        auto *d = new set_horario_envio;
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        d->casillasHorario().at(5)->setChecked(true);
        QTest::keyClick(d, Qt::Key_Escape);
        QCOMPARE(guardado(), QVariant(7));
    }

    void dosDialogos()
    {
        ajustes::escribir(ajustes::Clave::CheckHorarios, 5);
        auto *primero = new set_horario_envio;
        primero->show();
        ajustes::escribir(ajustes::Clave::CheckHorarios, 3);
        auto *segundo = new set_horario_envio;
        segundo->show();
        QCOMPARE(marcadas(*primero), 5u);
        QCOMPARE(marcadas(*segundo), 3u);

        segundo->casillasHorario().at(4)->setChecked(true);
        pulsar(primero, QDialogButtonBox::Ok);
        QCOMPARE(guardado(), QVariant(5));
        pulsar(segundo, QDialogButtonBox::Ok);
        QCOMPARE(guardado(), QVariant(3 | 16));
    }
};

NBSMS_TEST_MAIN(PruebaHorario)
#include "prueba_horario.moc"
