# Run by CPack before it writes the Debian package, when the build was
# configured without the maker's public key: a package without it would
# place every update unverified on every PC it is installed on.
message(FATAL_ERROR
  "Il pacchetto non contiene la chiave pubblica del produttore: indicarla con "
  "-DORVANE_CHIAVE_AGGIORNAMENTI=FILE, oppure -DORVANE_PACCHETTO_SENZA_CHIAVE=ON "
  "per un pacchetto che accetta aggiornamenti non firmati.")
