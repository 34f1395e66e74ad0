$FORM A=F10,2
$FORM B=I/0=null
$FORM Q=D8
Rechnung an {NAME##############  Ende
Rechts:    }BETRAG#### EUR
Zentriert: $MENGE####  Ende
Gross:     }GROSS########### Maxi: }MAXI########
Variabel:  ∞NAME Ende, leer: ∞ART(0003) Ende
Gesperrt:  |NAME#####
Roh:       ^NEG####  Ende
Datum:     {DATUM#####
Element 2: {ART(0002)#  Teil: {NAME[1:6]##
Escapes:   &41&62 und {{ doppelt, $$ und ∞∞
Definition: {A12######  und {B5## und {Q7#######
Umlaute:   ƒ÷‹‰ˆ¸ﬂ ≤≥ Ä
