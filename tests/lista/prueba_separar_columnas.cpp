// Line splitting and column references.

#include "common/entorno_prueba.h"
#include "lista/columnas.h"
#include "lista/separar_linea.h"
#include "referencias.h"

#include <QRandomGenerator>
#include <QtTest>

class PruebaSepararColumnas : public QObject
{
    Q_OBJECT

private slots:
    void separar_data();
    void separar();
    void separarIgualQueReferencia();
    void separador_data();
    void separador();
    void nombresColumnas_data();
    void nombresColumnas();
    void resolver_data();
    void resolver();
};

void PruebaSepararColumnas::separar_data()
{
    QTest::addColumn<QString>("linea");
    QTest::addColumn<bool>("coma");
    QTest::addColumn<bool>("tab");
    QTest::addColumn<QStringList>("campos");

    const QString q = QStringLiteral("\"");
    QTest::newRow("vacio en medio") << "a,b,,c" << true << false << QStringList{"a", "b", "", "c"};
    QTest::newRow("comillas con coma")
        << q + "Perez, Juan" + q + ",123" << true << false << QStringList{"Perez, Juan", "123"};
    QTest::newRow("comilla interior")
        << q + "a" + q + "b" + q + ",c" << true << false << QStringList{"a" + q + "b", "c"};
    QTest::newRow("dos comillas") << q + q + ",x" << true << false << QStringList{"", "x"};
    QTest::newRow("sin cierre") << q + "abc,def" << true << false << QStringList{"abc,def"};
    QTest::newRow("comilla no inicial")
        << "x " + q + "y" + q + ",z" << true << false << QStringList{"x " + q + "y" + q, "z"};
    QTest::newRow("otro separador") << "a;b" << true << false << QStringList{"a;b"};
    QTest::newRow("linea vacia") << "" << true << false << QStringList{""};
    QTest::newRow("coma final") << "a," << true << false << QStringList{"a", ""};
    QTest::newRow("solo coma") << "," << true << false << QStringList{"", ""};
    QTest::newRow("comilla sola") << q << true << false << QStringList{""};
    QTest::newRow("comilla y coma") << q + ",x" << true << false << QStringList{",x"};
    QTest::newRow("dos entre comillas")
        << q + "a,b" + q + "," + q + "c" + q << true << false << QStringList{"a,b", "c"};
    QTest::newRow("comas dobles dentro") << q + "a,,b" + q << true << false << QStringList{"a,,b"};
    QTest::newRow("cierre en pieza sola") << q + "a," + q + ",b" << true << false << QStringList{"a,", "b"};
    QTest::newRow("comillas dobladas quedan")
        << q + "a," + q + q + ",b" << true << false << QStringList{"a," + q, "b"};
    QTest::newRow("espacios quedan") << " a , b " << true << false << QStringList{" a ", " b "};
    QTest::newRow("acentos") << QStringLiteral("ñandú,\"José, Pérez\"") << true << false
                             << QStringList{QStringLiteral("ñandú"), QStringLiteral("José, Pérez")};
    QTest::newRow("tab con comillas") << q + "a\tb" + q + "\tc" << false << true << QStringList{"a\tb", "c"};
    QTest::newRow("tab: coma comun") << "a,b\tc" << false << true << QStringList{"a,b", "c"};
    QTest::newRow("coma gana al tab") << "a\tb,c" << true << true << QStringList{"a\tb", "c"};
    QTest::newRow("ninguno: linea entera") << "a,b\tc" << false << false << QStringList{"a,b\tc"};
    QTest::newRow("ninguno: NUL separa")
        << QString::fromUtf16(u"a\u0000b", 3) << false << false << QStringList{"a", "b"};
}

void PruebaSepararColumnas::separar()
{
    QFETCH(QString, linea);
    QFETCH(bool, coma);
    QFETCH(bool, tab);
    QFETCH(QStringList, campos);
    QCOMPARE(lista::separarLinea(linea, coma, tab), campos);
    lista::FormatoLista formato;
    formato.usarComa = coma;
    formato.usarTab = tab;
    QCOMPARE(lista::separarLinea(linea, formato), campos);
}

// Random lines over a small alphabet rich in quotes and separators.
void PruebaSepararColumnas::separarIgualQueReferencia()
{
    QRandomGenerator azar(20240611);
    const QString alfabeto = QStringLiteral("\",\t a\"\"b,");
    for (int vuelta = 0; vuelta < 20000; ++vuelta) {
        QString linea;
        const int largo = azar.bounded(12);
        for (int k = 0; k < largo; ++k)
            linea += alfabeto.at(azar.bounded(alfabeto.size()));
        const bool coma = azar.bounded(2);
        const bool tab = azar.bounded(2);
        const QStringList esperado = referencia::separarLinea(linea, coma, tab);
        const QStringList obtenido = lista::separarLinea(linea, coma, tab);
        if (obtenido != esperado)
            QFAIL(qPrintable(QStringLiteral("linea [%1] coma %2 tab %3: [%4] en vez de [%5]")
                                 .arg(linea)
                                 .arg(coma)
                                 .arg(tab)
                                 .arg(obtenido.join(QLatin1Char('|')), esperado.join(QLatin1Char('|')))));
    }
}

// The semicolon beside comma and TAB (a store without it reads as before), and the separator
// offered for a first line that does not split.
void PruebaSepararColumnas::separador_data()
{
    QTest::addColumn<QString>("linea");
    QTest::addColumn<bool>("coma");
    QTest::addColumn<bool>("tab");
    QTest::addColumn<bool>("puntoComa");
    QTest::addColumn<QStringList>("campos");
    QTest::addColumn<QString>("sugerido");
    const QString q = QStringLiteral("\"");
    QTest::newRow("punto y coma") << "nombre;celular;importe" << false << false << true
                                  << QStringList{"nombre", "celular", "importe"} << "";
    QTest::newRow("punto y coma con comillas") << q + "Perez; Juan" + q + ";1,50" << false << false << true
                                               << QStringList{"Perez; Juan", "1,50"} << "";
    QTest::newRow("la coma gana") << "a;b,c" << true << false << true << QStringList{"a;b", "c"} << "";
    QTest::newRow("el tab gana") << "a;b\tc" << false << true << true << QStringList{"a;b", "c"} << "";
    QTest::newRow("coma ofrece punto y coma")
        << "nombre;celular;importe" << true << false << false << QStringList{"nombre;celular;importe"} << ";";
    QTest::newRow("coma ofrece tab") << "nombre\tcelular" << true << false << false
                                     << QStringList{"nombre\tcelular"} << "\t";
    QTest::newRow("el mas frecuente")
        << "a;b;c\td" << true << false << false << QStringList{"a;b;c\td"} << ";";
    QTest::newRow("punto y coma ofrece coma")
        << "nombre,celular" << false << false << true << QStringList{"nombre,celular"} << ",";
    QTest::newRow("una columna de verdad")
        << "celular" << true << false << false << QStringList{"celular"} << "";
    QTest::newRow("ya separa") << "a,b;c" << true << false << false << QStringList{"a", "b;c"} << "";
}

void PruebaSepararColumnas::separador()
{
    QFETCH(QString, linea);
    QFETCH(bool, coma);
    QFETCH(bool, tab);
    QFETCH(bool, puntoComa);
    QFETCH(QStringList, campos);
    QFETCH(QString, sugerido);
    lista::FormatoLista formato;
    formato.usarComa = coma;
    formato.usarTab = tab;
    formato.usarPuntoComa = puntoComa;
    QCOMPARE(lista::separarLinea(linea, formato), campos);
    const QChar s = lista::separadorSugerido(linea, formato);
    QCOMPARE(s.isNull() ? QString() : QString(s), sugerido);
    if (!s.isNull())
        QCOMPARE(lista::separadorDe(lista::conSeparador(formato, s)), s);
}

void PruebaSepararColumnas::nombresColumnas_data()
{
    QTest::addColumn<QStringList>("campos");
    QTest::addColumn<bool>("conHeader");
    QTest::addColumn<QStringList>("nombres");
    QTest::newRow("con header") << QStringList{"nombre", "celular", "fecha"} << true
                                << QStringList{"nombre", "celular", "fecha", "#1", "#2", "#3"};
    QTest::newRow("sin header") << QStringList{"nombre", "celular", "fecha"} << false
                                << QStringList{"#1", "#2", "#3"};
    QTest::newRow("un campo vacio") << QStringList{""} << true << QStringList{"", "#1"};
}

void PruebaSepararColumnas::nombresColumnas()
{
    QFETCH(QStringList, campos);
    QFETCH(bool, conHeader);
    QFETCH(QStringList, nombres);
    QCOMPARE(lista::nombresColumnas(campos, conHeader), nombres);
}

void PruebaSepararColumnas::resolver_data()
{
    QTest::addColumn<QStringList>("columnas");
    QTest::addColumn<int>("cantidad");
    QTest::addColumn<QString>("referencia");
    QTest::addColumn<int>("indice");

    const QStringList conHeader{"nombre", "celular", "fecha", "#1", "#2", "#3"};
    QTest::newRow("nombre") << conHeader << 3 << "celular" << 1;
    QTest::newRow("numero con header") << conHeader << 3 << "#2" << 1;
    QTest::newRow("primer numero") << conHeader << 3 << "#1" << 0;
    QTest::newRow("fuera de rango") << conHeader << 3 << "#4" << -1;
    QTest::newRow("mayusculas cuentan") << conHeader << 3 << "Celular" << -1;
    QTest::newRow("vacio") << conHeader << 3 << "" << -1;
    QTest::newRow("inmediato no es columna") << conHeader << 3 << "--inmediato--" << -1;
    const QStringList sinHeader{"#1", "#2", "#3"};
    QTest::newRow("numero sin header") << sinHeader << 3 << "#3" << 2;
    QTest::newRow("nombre sin header") << sinHeader << 3 << "celular" << -1;
    const QStringList numeral{"a", "b", "#1", "#1", "#2", "#3"};
    QTest::newRow("header llamado #1 gana") << numeral << 3 << "#1" << 2;
    QTest::newRow("#3 tras header #1") << numeral << 3 << "#3" << 2;
    // At start-up only the stored header names are known and no count yet.
    const QStringList guardado{"nombre", "celular"};
    QTest::newRow("al iniciar: nombre") << guardado << 0 << "celular" << 1;
    QTest::newRow("al iniciar: numero") << guardado << 0 << "#1" << -1;
    QTest::newRow("header con vacio") << QStringList{"a", "", "c", "#1", "#2", "#3"} << 3 << "" << 1;
}

void PruebaSepararColumnas::resolver()
{
    QFETCH(QStringList, columnas);
    QFETCH(int, cantidad);
    QFETCH(QString, referencia);
    QFETCH(int, indice);
    QCOMPARE(lista::resolverColumna(referencia, columnas, cantidad), indice);
}

NBSMS_TEST_MAIN(PruebaSepararColumnas)
#include "prueba_separar_columnas.moc"
