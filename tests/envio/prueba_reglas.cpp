// The worker's rules: which record dates are due, which times of day the mask allows, how long
// it waits before retrying a gateway that failed, a gateway's pace and its caps.

#include "envio/reglas_envio.h"
#include "envio/reintento.h"
#include "envio/ritmo.h"
#include "envio/topes.h"
#include "gateway/estados.h"

#include "common/entorno_prueba.h"

#include <QtTest>

class PruebaReglas : public QObject
{
    Q_OBJECT

private slots:
    void fechaVencida_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("vencida");
        // Today is 15/06/2026 in every row.
        QTest::newRow("hoy") << "15/06/2026" << true;
        QTest::newRow("ayer") << "14/06/2026" << true;
        QTest::newRow("manana") << "16/06/2026" << false;
        QTest::newRow("el anio que viene") << "01/01/2027" << false;
        QTest::newRow("sin barras, futura") << "16062026" << false;
        QTest::newRow("sin barras, pasada") << "14062026" << true;
        QTest::newRow("barras en otro lugar") << "1606/2026" << false;
        QTest::newRow("inmediato") << "--inmediato--" << true;
        QTest::newRow("vacio") << "" << true;
        QTest::newRow("d/M/yyyy futura") << "5/3/2027" << false;
        QTest::newRow("d/M/yyyy pasada") << "5/3/2026" << true;
        QTest::newRow("d/MM/yyyy futura") << "1/12/2026" << false;
        QTest::newRow("dd/M/yyyy futura") << "16/6/2026" << false;
        QTest::newRow("dd/M/yyyy hoy") << "15/6/2026" << true;
        QTest::newRow("fecha imposible") << "31/02/2027" << true;
        QTest::newRow("mes 13") << "01/13/2027" << true;
        QTest::newRow("anio de dos cifras") << "5/3/27" << true;
        QTest::newRow("texto") << "manana" << true;
        QTest::newRow("guiones") << "16-06-2026" << true;
        QTest::newRow("29 de febrero bisiesto") << "29/02/2028" << false;
        QTest::newRow("29 de febrero no bisiesto") << "29/02/2027" << true;
        QTest::newRow("nueve cifras") << "160620260" << true;
    }
    void fechaVencida()
    {
        QFETCH(QString, texto);
        QFETCH(bool, vencida);
        const QDate hoy(2026, 6, 15);
        QCOMPARE(reglas_envio::fechaVencida(texto, hoy), vencida);
        const QByteArray bytes = texto.toUtf8();
        QCOMPARE(reglas_envio::fechaVencida(bytes.constData(), bytes.size(), hoy), vencida);
    }

    // The quick reading agrees with the date parser on the shapes both read.
    void leerFechaComoElParser_data()
    {
        QTest::addColumn<QString>("texto");
        for (const char *t : {"05/03/2016", "05032016", "0503/2016", "00/00/0000", "31/12/9999", "29/02/2000",
                              "29/02/1900", "5/3/2016", "05/3/2016", "5/03/2016", "1/1/0001"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void leerFechaComoElParser()
    {
        QFETCH(QString, texto);
        QString sinBarras = texto;
        sinBarras.remove(QLatin1Char('/'));
        QDate esperada = QDate::fromString(sinBarras, QStringLiteral("ddMMyyyy"));
        if (!esperada.isValid())
            esperada = QDate::fromString(texto, QStringLiteral("d/M/yyyy"));
        QCOMPARE(reglas_envio::leerFecha(texto), esperada);
    }

    void horarioPermitido_data()
    {
        QTest::addColumn<int>("mascara");
        QTest::addColumn<QTime>("hora");
        QTest::addColumn<bool>("permitido");
        const int todas = 0xFFFFFF;
        const int solo23 = 1 << 23;
        const int defectoViejo = 0xFFFF;
        QTest::newRow("todas, medianoche") << todas << QTime(0, 0) << true;
        QTest::newRow("todas, 23:59:59.999") << todas << QTime(23, 59, 59, 999) << true;
        QTest::newRow("solo 23, 22:59:59.999") << solo23 << QTime(22, 59, 59, 999) << false;
        QTest::newRow("solo 23, 23:00:00.000") << solo23 << QTime(23, 0) << true;
        QTest::newRow("solo 23, 23:59:59.999") << solo23 << QTime(23, 59, 59, 999) << true;
        QTest::newRow("solo 23, 00:00") << solo23 << QTime(0, 0) << false;
        QTest::newRow("cero, 12:00") << 0 << QTime(12, 0) << false;
        QTest::newRow("cero, 00:00") << 0 << QTime(0, 0) << false;
        QTest::newRow("FFFF, 15:59:59.999") << defectoViejo << QTime(15, 59, 59, 999) << true;
        QTest::newRow("FFFF, 16:00") << defectoViejo << QTime(16, 0) << false;
        QTest::newRow("5, 00:30") << 5 << QTime(0, 30) << true;
        QTest::newRow("5, 01:30") << 5 << QTime(1, 30) << false;
        QTest::newRow("5, 02:00") << 5 << QTime(2, 0) << true;
        QTest::newRow("5, 03:00") << 5 << QTime(3, 0) << false;
        QTest::newRow("-1, 23:30") << -1 << QTime(23, 30) << true;
        QTest::newRow("solo bits altos") << int(0xFF000000u) << QTime(12, 0) << false;
        QTest::newRow("hora invalida") << todas << QTime() << false;
    }
    void horarioPermitido()
    {
        QFETCH(int, mascara);
        QFETCH(QTime, hora);
        QFETCH(bool, permitido);
        QCOMPARE(reglas_envio::horarioPermitido(mascara, hora), permitido);
    }

    // Each row plays the worker's calls on the back-off, then asks it at `ahora`. Calls: "F<ms>"
    // a failure seen just after a request ended, "f<ms>" the same failure seen again, "I" the
    // retry started, "E" the connection seen working.
    void reintento_data()
    {
        QTest::addColumn<QString>("llamadas");
        QTest::addColumn<qint64>("ahora");
        QTest::addColumn<bool>("toca");
        QTest::addColumn<int>("segundos");
        QTest::newRow("sin falla") << "" << qint64(0) << false << -1;
        QTest::newRow("30 s: aun no") << "F1000" << qint64(30999) << false << 1;
        QTest::newRow("30 s: ya") << "F1000" << qint64(31000) << true << 0;
        QTest::newRow("la misma falla no mueve la espera") << "F0 f20000" << qint64(30000) << true << 0;
        QTest::newRow("reintento en vuelo") << "F0 I" << qint64(90000) << false << -1;
        QTest::newRow("60 s tras el primer reintento fallido")
            << "F0 I F30500" << qint64(90499) << false << 1;
        QTest::newRow("120 s") << "F0 I F30000 I F90000" << qint64(209999) << false << 1;
        QTest::newRow("hasta 5 minutos")
            << "F0 I F30000 I F90000 I F210000 I F450000" << qint64(749999) << false << 1;
        QTest::newRow("5 minutos, no mas")
            << "F0 I F30000 I F90000 I F210000 I F450000 I F750000" << qint64(750000) << false << 300;
        QTest::newRow("el chequeo del operador no alarga") << "F0 F20000" << qint64(49999) << false << 1;
        QTest::newRow("exito vuelve a 30 s")
            << "F0 I F30000 I F90000 E F200000" << qint64(230000) << true << 0;
        QTest::newRow("reloj atrasado") << "F100000 f40000" << qint64(69999) << false << 1;
    }
    void reintento()
    {
        QFETCH(QString, llamadas);
        QFETCH(qint64, ahora);
        QFETCH(bool, toca);
        QFETCH(int, segundos);
        Reintento r;
        for (const QString &llamada : llamadas.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qint64 ms = llamada.mid(1).toLongLong();
            switch (llamada.at(0).toLatin1()) {
            case 'F':
                r.fallo(ms, true);
                break;
            case 'f':
                r.fallo(ms, false);
                break;
            case 'I':
                r.intentado();
                break;
            case 'E':
                r.exito();
                break;
            default:
                QFAIL(qPrintable(llamada));
            }
        }
        QCOMPARE(r.toca(ahora), toca);
        QCOMPARE(r.segundosRestantes(ahora), segundos);
    }

    // The worker tries a hand-over at each of `ciclos` (ms); "x" where the pace lets it.
    void ritmo_data()
    {
        QTest::addColumn<int>("porMinuto");
        QTest::addColumn<QString>("ciclos");
        QTest::addColumn<QString>("entregas");
        const QString cadaSegundo = QStringLiteral("0 1002 2004 3006 4008 5010 6012 7014 8016");
        QTest::newRow("sin ritmo") << 0 << cadaSegundo << "xxxxxxxxx";
        QTest::newRow("30") << 30 << cadaSegundo << "x.x.x.x.x";
        QTest::newRow("45: en promedio") << 45 << cadaSegundo << "x.xxx.xxx";
        QTest::newRow("tras la espera, sin rafaga") << 30 << "0 10000 11000 12000 13000"
                                                    << "xx.x.";
        QTest::newRow("600: el ciclo espacia") << 600 << "0 1 2 3"
                                               << "xxxx";
    }
    void ritmo()
    {
        QFETCH(int, porMinuto);
        QFETCH(QString, ciclos);
        QFETCH(QString, entregas);
        Ritmo r(porMinuto);
        QString hechas;
        for (const QString &c : ciclos.split(QLatin1Char(' '))) {
            const bool toca = r.toca(c.toLongLong());
            if (toca)
                r.entregado(c.toLongLong());
            hechas += toca ? QLatin1Char('x') : QLatin1Char('.');
        }
        QCOMPARE(hechas, entregas);
        QCOMPARE(r.cicloMs(true), porMinuto == 600 ? 100 : 1000);
    }

    // Messages counted at the times of `eventos` on 15 June ("=h/d" sows the hour's and the day's
    // counts); then, at `cuando`, the day's count and the state label of a free gateway.
    void topes_data()
    {
        QTest::addColumn<int>("porHora");
        QTest::addColumn<int>("porDia");
        QTest::addColumn<QString>("eventos");
        QTest::addColumn<QString>("cuando");
        QTest::addColumn<int>("enDia");
        QTest::addColumn<QString>("texto");
        const QString hora = QStringLiteral("Límite por hora alcanzado: se reanuda a las %1");
        const QString dia = QStringLiteral("Límite diario alcanzado: se reanuda mañana a las 00:00");
        QTest::newRow("bajo el tope") << 3 << 0 << "10:00 10:01"
                                      << "10:59" << 2 << "Libre";
        QTest::newRow("tope por hora") << 3 << 0 << "10:00 10:01 10:02"
                                       << "10:59" << 3 << hora.arg("11:00");
        QTest::newRow("la hora siguiente") << 3 << 0 << "10:00 10:01 10:02"
                                           << "11:00" << 3 << "Libre";
        QTest::newRow("a las 23") << 1 << 0 << "23:10"
                                  << "23:59" << 1 << hora.arg("00:00");
        QTest::newRow("el diario antes") << 2 << 2 << "10:00 10:01"
                                         << "10:30" << 2 << dia;
        QTest::newRow("sembrado, sin bajar") << 0 << 5 << "10:00 =0/4 10:30"
                                             << "10:31" << 5 << dia;
    }
    void topes()
    {
        QFETCH(int, porHora);
        QFETCH(int, porDia);
        QFETCH(QString, eventos);
        QFETCH(QString, cuando);
        QFETCH(int, enDia);
        QFETCH(QString, texto);
        const auto momento = [](const QString &t) {
            return QDateTime(QDate(2026, 6, 15), QTime::fromString(t, QStringLiteral("HH:mm")));
        };
        Topes t;
        t.fijar(porHora, porDia);
        for (const QString &e : eventos.split(QLatin1Char(' '))) {
            if (e.startsWith(QLatin1Char('=')))
                t.sembrar(momento(QStringLiteral("10:00")), e.mid(1, 1).toInt(), e.mid(3).toInt());
            else
                t.contar(momento(e));
        }
        SituacionEnvio s;
        s.estado = EST_CONEX_LIBRE;
        s.topeHasta = t.hasta(momento(cuando), &s.topeDiario);
        QCOMPARE(t.enDia(momento(cuando)), enDia);
        QCOMPARE(textoSituacion(s), texto);
    }
};

NBSMS_TEST_MAIN(PruebaReglas)
#include "prueba_reglas.moc"
