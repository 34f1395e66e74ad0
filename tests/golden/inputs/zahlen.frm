Zu breit:  A=}K##] B=}R##] E={K##] C=$K##] L=|K##] D=^R##] Q=}R###]
Passend:   H=}K###] N=}N###] M=}N####] F=}R#####] G=}R####] P=}P###] J=^R###]
Text:      T=}S##] V={U####] W=$U##]
