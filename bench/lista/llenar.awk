# The fill of bench_lista_grande's list as a streaming tool does it, for a reference figure: the
# header dropped, each row split at commas, the number cleaned (spaces, dashes, dots and
# parentheses out; an optional "+" and 3 to 15 digits), the date yyyy-MM-dd turned to dd/MM/yyyy,
# the template filled and cut at 140 characters, and "e,number,date,message" written to the
# outbox, or the row as read to the errors file.
#   mawk -v salidas=OUT -v errores=ERR -f llenar.awk lista.csv
BEGIN { FS = "," }
NR == 1 { next }
{
    numero = $3
    gsub(/[ .()-]/, "", numero)
    digitos = numero
    sub(/^\+/, "", digitos)
    if (digitos !~ /^[0-9]+$/ || length(digitos) < 3 || length(digitos) > 15) {
        print $0 > errores
        next
    }
    if ($5 !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]?-[0-9][0-9]?$/) {
        print $0 > errores
        next
    }
    split($5, f, "-")
    fecha = sprintf("%02d/%02d/%04d", f[3], f[2], f[1])
    mensaje = "Hola " $1 " " $2 ", su deuda de $" $4 " vence el " $5 ". Gracias."
    if (length(mensaje) > 140)
        mensaje = substr(mensaje, 1, 140)
    print "e," numero "," fecha "," mensaje > salidas
}
