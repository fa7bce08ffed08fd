// Template filling, the reference check and the 140-unit cut.

#include "common/entorno_prueba.h"
#include "lista/columnas.h"
#include "lista/plantilla.h"
#include "referencias.h"

#include <QRandomGenerator>

#include <QtTest>

namespace {

// Header "nombre,celular,deuda" as detection leaves it.
lista::BuscadorColumna buscadorDe(const QStringList &header)
{
    const QStringList columnas = lista::nombresColumnas(header, true);
    const int cantidad = header.size();
    return [columnas, cantidad](QStringView ref) { return lista::resolverColumna(ref, columnas, cantidad); };
}

const QStringList kHeader{"nombre", "celular", "deuda"};

} // namespace

class PruebaPlantilla : public QObject
{
    Q_OBJECT

private slots:
    void llenar_data();
    void llenar();
    void cortar_data();
    void cortar();
    void verificar_data();
    void verificar();
    void igualQueReferencia();
};

void PruebaPlantilla::llenar_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QString>("plantilla");
    QTest::addColumn<QStringList>("campos");
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<bool>("truncado");
    QTest::addColumn<bool>("falta");

    const QStringList ana{"Ana", "123", ""};
    QTest::newRow("campo por nombre") << kHeader << "Hola [nombre]" << ana << "Hola Ana" << false << false;
    QTest::newRow("campo por numero") << kHeader << "Hola [#1]" << ana << "Hola Ana" << false << false;
    QTest::newRow("vacio deja hueco")
        << kHeader << "Debe [deuda] pesos" << ana << "Debe  pesos" << false << false;
    QTest::newRow("obligatorio vacio") << kHeader << "Debe {deuda} pesos" << ana << "" << false << true;
    QTest::newRow("obligatorio dos veces") << kHeader << "{deuda}{deuda}" << ana << "" << false << true;
    QTest::newRow("obligatorio lleno") << kHeader << "Tel {celular}" << ana << "Tel 123" << false << false;
    QTest::newRow("columna desconocida") << kHeader << "Hola [apellido]" << ana << "" << false << false;
    QTest::newRow("desconocida y obligatorio vacio") << kHeader << "[x]{deuda}" << ana << "" << false << true;
    QTest::newRow("corchete solo") << kHeader << "Precio [10" << ana << "Precio 10" << false << false;
    QTest::newRow("cierres sueltos") << kHeader << "a]b}c" << ana << "a]b}c" << false << false;
    QTest::newRow("cierre de otra clase") << kHeader << "{nombre]" << ana << "nombre]" << false << false;
    QTest::newRow("cierre sobrante") << kHeader << "[nombre]]" << ana << "Ana]" << false << false;
    QTest::newRow("sin anidar") << kHeader << "[{nombre}]" << ana << "" << false << false;
    QTest::newRow("espacios en el nombre") << kHeader << "[ nombre]" << ana << "" << false << false;
    QTest::newRow("nombre vacio") << kHeader << "[]" << ana << "" << false << false;
    QTest::newRow("salto de linea") << kHeader << "Hola\n[nombre]" << ana << "Hola\nAna" << false << false;
    QTest::newRow("plantilla vacia") << kHeader << "" << ana << "" << false << false;
    // Rows shorter than the header: the missing field reads as empty.
    QTest::newRow("fila corta: hueco")
        << kHeader << "Tel:[celular]." << QStringList{"Ana"} << "Tel:." << false << false;
    QTest::newRow("fila corta: obligatorio")
        << kHeader << "Tel {celular}" << QStringList{"Ana"} << "" << false << true;
    QTest::newRow("sin campos") << kHeader << "Hola [#3]" << QStringList{} << "Hola " << false << false;
    QTest::newRow("150 sin campos") << kHeader << QString(150, u'x') << ana << QString(140, u'x') << true
                                    << false;
    QTest::newRow("140 sin campos") << kHeader << QString(140, u'x') << ana << QString(140, u'x') << false
                                    << false;
    QTest::newRow("141 sin campos") << kHeader << QString(141, u'x') << ana << QString(140, u'x') << true
                                    << false;
    QTest::newRow("valor largo") << kHeader << "[nombre]!" << QStringList{QString(200, u'n')}
                                 << QString(140, u'n') << true << false;
    QTest::newRow("vacio no se trunca")
        << kHeader << QString(150, u'x') + "[zz]" << ana << "" << false << false;
    const QString cara = QStringLiteral("\U0001F600");
    QTest::newRow("emoji en 139-140")
        << kHeader << QString(138, u'a') + cara << ana << QString(138, u'a') + cara << false << false;
    QTest::newRow("emoji partido en 140")
        << kHeader << QString(139, u'a') + cara << ana << QString(139, u'a') << true << false;
    QTest::newRow("emoji despues de 140")
        << kHeader << QString(140, u'a') + cara << ana << QString(140, u'a') << true << false;
    QTest::newRow("emoji desde el valor") << kHeader << QString(139, u'a') + "[nombre]" << QStringList{cara}
                                          << QString(139, u'a') << true << false;
}

void PruebaPlantilla::llenar()
{
    QFETCH(QStringList, header);
    QFETCH(QString, plantilla);
    QFETCH(QStringList, campos);
    QFETCH(QString, mensaje);
    QFETCH(bool, truncado);
    QFETCH(bool, falta);

    const lista::MensajeLlenado r = lista::llenarPlantilla(plantilla, campos, buscadorDe(header));
    QCOMPARE(r.mensaje, mensaje);
    QCOMPARE(r.truncado, truncado);
    QCOMPARE(r.faltaObligatorio, falta);

    // The view-based overload agrees.
    QVector<QStringView> vistas;
    for (const QString &c : campos)
        vistas.append(c);
    const lista::MensajeLlenado v = lista::llenarPlantilla(plantilla, vistas, buscadorDe(header));
    QCOMPARE(v.mensaje, mensaje);
    QCOMPARE(v.truncado, truncado);
    QCOMPARE(v.faltaObligatorio, falta);
}

void PruebaPlantilla::cortar_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<int>("largo");
    QTest::addColumn<QString>("cortado");
    QTest::addColumn<bool>("corto");

    const QString alta = QString(QChar(0xD83D));
    const QString baja = QString(QChar(0xDE00));
    QTest::newRow("cabe") << "abc" << 3 << "abc" << false;
    QTest::newRow("uno de mas") << "abcd" << 3 << "abc" << true;
    QTest::newRow("par en el borde") << "ab" + alta + baja << 3 << "ab" << true;
    QTest::newRow("par entero antes") << "a" + alta + baja + "b" << 3 << "a" + alta + baja << true;
    QTest::newRow("alta suelta") << "ab" + alta + "c" << 3 << "ab" + alta << true;
    QTest::newRow("baja suelta al borde") << "ab" + baja + baja << 3 << "ab" + baja << true;
    QTest::newRow("largo cero") << "a" << 0 << "" << true;
}

void PruebaPlantilla::cortar()
{
    QFETCH(QString, texto);
    QFETCH(int, largo);
    QFETCH(QString, cortado);
    QFETCH(bool, corto);
    QCOMPARE(lista::cortarMensaje(texto, largo), corto);
    QCOMPARE(texto, cortado);
}

void PruebaPlantilla::verificar_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QString>("plantilla");
    QTest::addColumn<QString>("resultado");

    QTest::newRow("todo resuelve") << kHeader << "Hola [nombre], debe {deuda} [#2]"
                                   << "true";
    QTest::newRow("primera que falla") << kHeader << "Hola [apellido] {x}"
                                       << "apellido";
    QTest::newRow("obligatoria falla") << kHeader << "{nombre}{zz}[yy]"
                                       << "zz";
    QTest::newRow("sin cierre se salta") << kHeader << "[nombre"
                                         << "true";
    QTest::newRow("corchete dentro del nombre") << kHeader << "[a[nombre]"
                                                << "a[nombre";
    QTest::newRow("llave abarca corchetes") << kHeader << "{a[nombre]}"
                                            << "a[nombre]";
    QTest::newRow("vacia") << kHeader << ""
                           << "true";
    QTest::newRow("nombre vacio") << kHeader << "[]"
                                  << "";
    // "{a[x]}" names the column "a[x]", but the scan also looks at the "[x]" inside it.
    QTest::newRow("referencia interior") << QStringList{"a[x]"} << "{a[x]}"
                                         << "x";
}

void PruebaPlantilla::verificar()
{
    QFETCH(QStringList, header);
    QFETCH(QString, plantilla);
    QFETCH(QString, resultado);
    QCOMPARE(lista::verificarCampos(plantilla, buscadorDe(header)), resultado);
}

// Random templates and rows over a small alphabet rich in brackets, against the literal version.
void PruebaPlantilla::igualQueReferencia()
{
    QRandomGenerator azar(4711);
    const QStringList header{"a", "b]", "", "#1"};
    const auto buscar = buscadorDe(header);
    const referencia::Buscar buscarRef = [&](const QString &ref) { return buscar(ref); };
    const QString alfabeto = QStringLiteral("[]{}ab#1 ") + QChar(0xD83D) + QChar(0xDE00);
    auto texto = [&](int maximo) {
        QString t;
        const int largo = azar.bounded(maximo);
        for (int k = 0; k < largo; ++k)
            t += alfabeto.at(azar.bounded(alfabeto.size()));
        return t;
    };
    for (int vuelta = 0; vuelta < 20000; ++vuelta) {
        const QString plantilla = texto(vuelta % 10 == 0 ? 200 : 16);
        QStringList campos;
        const int n = azar.bounded(5);
        for (int k = 0; k < n; ++k)
            campos << texto(vuelta % 7 == 0 ? 90 : 3);
        const referencia::Llenado esperado = referencia::transformarSms(plantilla, campos, buscarRef);
        const lista::MensajeLlenado obtenido = lista::llenarPlantilla(plantilla, campos, buscar);
        const QString donde = QStringLiteral("plantilla [%1] campos [%2]").arg(plantilla, campos.join(u'|'));
        QVERIFY2(obtenido.mensaje == esperado.mensaje, qPrintable(donde));
        QVERIFY2(obtenido.truncado == esperado.truncado, qPrintable(donde));
        QVERIFY2(obtenido.faltaObligatorio == esperado.falta, qPrintable(donde));
        QVERIFY2(lista::verificarCampos(plantilla, buscar) ==
                     referencia::verificarCampos(plantilla, buscarRef),
                 qPrintable(donde));
    }
}

NBSMS_TEST_MAIN(PruebaPlantilla)
#include "prueba_plantilla.moc"
