KURZ nach LANG: }MENGE### {DATUM#####
