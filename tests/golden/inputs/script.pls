! a comment line
; another comment
SZ=0.5|MOV 2,2|DRW 10,2|DRW 10,6
GOTO L1
TXTskipped by GOTO
:L1
MOV 2,8|TXTafter L1
IF N=3 MOV 2,10|TXTN is 3
IF N#3 MOV 2,12|TXTN is not 3
IF N TXTN is not 1
LS=2|MOV 2,14|DRW 12,14|LS=0
PS:MOV 2,16|PS:TXTPostScript only
NP:MOV 2,18|NP:TXTnot PostScript
