// The upgrade messages, one block of 31 per language, in the order of the
// languages' ordinals; block k holds the string ids 41000 + 50 * k + N.
// Every block keeps the English placeholders in the same order.
#include "upMessages.h"

namespace UpgradeMessages::detail {

extern const char *const kBlocks[kLanguageCount][kMessageCount];
const char *const kBlocks[kLanguageCount][kMessageCount] = {
    // 1 English, block 41000
    {
        "Application update wizard", // 0
        "Downloading files...", // 1
        "Upgrade completed!", // 2
        "Current file", // 3
        "All files", // 4
        "Downloading file from", // 5
        "File size: %.1f Kb", // 6
        "Transfer rate: %.1f Kb/s", // 7
        "Estimated time left: %d:%.2d:%.2d", // 8
        "Downloading %d of %d", // 9
        "The update of %s has been successfully completed.\r\rPress the OK button to restart program.", // 10
        "Enter password", // 11
        "User Name", // 12
        "Password", // 13
        "&Yes", // 14
        "&No", // 15
        "&OK", // 16
        "&Cancel", // 17
        "&Next >", // 18
        "&Later", // 19
        "Warning", // 20
        "Error", // 21
        "Preparing. . .", // 22
        "A newer version of %s was released.\n%s\nDo you want to update your version with the latest one?", // 23
        "Newer version not found. You actually are\rusing most recent version of this program.", // 24
        "File which contains upgrade information was not found on developer's site.", // 25
        "Host %s unreachable.\r\rPlease check your Internet connection and\rtry to upgrade this software again later.", // 26
        "The update is not completed.\rWould you like to abort upgrading?", // 27
        "File %s not found or inaccessible.\r\rTry to skip this file and continue upgrade?", // 28
        "Access to remote file \"%s\" is password protected.\n\nPlease enter your username and password (received after registration) to continue software upgrade.", // 29
        "Connection with remote server lost.\r\rPlease restore connection and try to\rupgrade this software again later.", // 30
    },
    // 2 Russian, block 41050
    {
        "Мастер обновления приложения", // 0
        "Загрузка файлов...", // 1
        "Обновление завершено!", // 2
        "Текущий файл", // 3
        "Все файлы", // 4
        "Загрузка файла с", // 5
        "Размер файла: %.1f Кб", // 6
        "Скорость передачи: %.1f Кб/с", // 7
        "Осталось примерно: %d:%.2d:%.2d", // 8
        "Загрузка %d из %d", // 9
        "Обновление %s успешно завершено.\r\rНажмите кнопку OK, чтобы перезапустить программу.", // 10
        "Введите пароль", // 11
        "Имя пользователя", // 12
        "Пароль", // 13
        "&Да", // 14
        "&Нет", // 15
        "&OK", // 16
        "&Отмена", // 17
        "&Далее >", // 18
        "&Позже", // 19
        "Предупреждение", // 20
        "Ошибка", // 21
        "Подготовка. . .", // 22
        "Вышла новая версия %s.\n%s\nОбновить вашу версию до последней?", // 23
        "Новая версия не найдена. Вы уже\rиспользуете последнюю версию этой программы.", // 24
        "Файл с информацией об обновлении не найден на сайте разработчика.", // 25
        "Сервер %s недоступен.\r\rПроверьте подключение к Интернету и\rпопробуйте обновить программу позже.", // 26
        "Обновление не завершено.\rПрервать обновление?", // 27
        "Файл %s не найден или недоступен.\r\rПропустить этот файл и продолжить обновление?", // 28
        "Доступ к удалённому файлу \"%s\" защищён паролем.\n\nВведите имя пользователя и пароль (полученные при регистрации), чтобы продолжить обновление программы.", // 29
        "Соединение с удалённым сервером потеряно.\r\rВосстановите соединение и попробуйте\rобновить программу позже.", // 30
    },
    // 3 German, block 41100
    {
        "Assistent zur Programmaktualisierung", // 0
        "Dateien werden heruntergeladen...", // 1
        "Aktualisierung abgeschlossen!", // 2
        "Aktuelle Datei", // 3
        "Alle Dateien", // 4
        "Datei wird heruntergeladen von", // 5
        "Dateigröße: %.1f KB", // 6
        "Übertragungsrate: %.1f KB/s", // 7
        "Geschätzte Restzeit: %d:%.2d:%.2d", // 8
        "Lade %d von %d", // 9
        "Die Aktualisierung von %s wurde erfolgreich abgeschlossen.\r\rKlicken Sie auf OK, um das Programm neu zu starten.", // 10
        "Kennwort eingeben", // 11
        "Benutzername", // 12
        "Kennwort", // 13
        "&Ja", // 14
        "&Nein", // 15
        "&OK", // 16
        "&Abbrechen", // 17
        "&Weiter >", // 18
        "&Später", // 19
        "Warnung", // 20
        "Fehler", // 21
        "Vorbereitung. . .", // 22
        "Eine neuere Version von %s ist erschienen.\n%s\nMöchten Sie Ihre Version auf die neueste aktualisieren?", // 23
        "Keine neuere Version gefunden. Sie verwenden bereits\rdie aktuellste Version dieses Programms.", // 24
        "Die Datei mit den Aktualisierungsinformationen wurde auf der Website des Herstellers nicht gefunden.", // 25
        "Host %s ist nicht erreichbar.\r\rBitte prüfen Sie Ihre Internetverbindung und\rversuchen Sie die Aktualisierung später erneut.", // 26
        "Die Aktualisierung ist nicht abgeschlossen.\rMöchten Sie die Aktualisierung abbrechen?", // 27
        "Datei %s nicht gefunden oder nicht zugänglich.\r\rDiese Datei überspringen und die Aktualisierung fortsetzen?", // 28
        "Der Zugriff auf die entfernte Datei \"%s\" ist kennwortgeschützt.\n\nBitte geben Sie Ihren Benutzernamen und Ihr Kennwort (nach der Registrierung erhalten) ein, um die Aktualisierung fortzusetzen.", // 29
        "Die Verbindung zum Server wurde unterbrochen.\r\rBitte stellen Sie die Verbindung wieder her und\rversuchen Sie die Aktualisierung später erneut.", // 30
    },
    // 4 French, block 41150
    {
        "Assistant de mise à jour", // 0
        "Téléchargement des fichiers...", // 1
        "Mise à jour terminée !", // 2
        "Fichier en cours", // 3
        "Tous les fichiers", // 4
        "Téléchargement du fichier depuis", // 5
        "Taille du fichier : %.1f Ko", // 6
        "Débit : %.1f Ko/s", // 7
        "Temps restant estimé : %d:%.2d:%.2d", // 8
        "Téléchargement %d sur %d", // 9
        "La mise à jour de %s s'est terminée avec succès.\r\rCliquez sur OK pour redémarrer le programme.", // 10
        "Saisissez le mot de passe", // 11
        "Nom d'utilisateur", // 12
        "Mot de passe", // 13
        "&Oui", // 14
        "&Non", // 15
        "&OK", // 16
        "&Annuler", // 17
        "&Suivant >", // 18
        "&Plus tard", // 19
        "Avertissement", // 20
        "Erreur", // 21
        "Préparation. . .", // 22
        "Une nouvelle version de %s est disponible.\n%s\nVoulez-vous mettre à jour votre version ?", // 23
        "Aucune version plus récente trouvée. Vous utilisez déjà\rla version la plus récente de ce programme.", // 24
        "Le fichier contenant les informations de mise à jour est introuvable sur le site de l'éditeur.", // 25
        "Hôte %s inaccessible.\r\rVeuillez vérifier votre connexion Internet et\rréessayer la mise à jour plus tard.", // 26
        "La mise à jour n'est pas terminée.\rVoulez-vous abandonner la mise à jour ?", // 27
        "Fichier %s introuvable ou inaccessible.\r\rIgnorer ce fichier et poursuivre la mise à jour ?", // 28
        "L'accès au fichier distant « %s » est protégé par un mot de passe.\n\nVeuillez saisir votre nom d'utilisateur et votre mot de passe (reçus lors de l'enregistrement) pour poursuivre la mise à jour.", // 29
        "La connexion avec le serveur distant a été perdue.\r\rVeuillez rétablir la connexion et\rréessayer la mise à jour plus tard.", // 30
    },
    // 5 Spanish, block 41200
    {
        "Asistente de actualización", // 0
        "Descargando archivos...", // 1
        "¡Actualización completada!", // 2
        "Archivo actual", // 3
        "Todos los archivos", // 4
        "Descargando archivo desde", // 5
        "Tamaño del archivo: %.1f KB", // 6
        "Velocidad de transferencia: %.1f KB/s", // 7
        "Tiempo restante estimado: %d:%.2d:%.2d", // 8
        "Descargando %d de %d", // 9
        "La actualización de %s se ha completado correctamente.\r\rPulse el botón Aceptar para reiniciar el programa.", // 10
        "Introduzca la contraseña", // 11
        "Nombre de usuario", // 12
        "Contraseña", // 13
        "&Sí", // 14
        "&No", // 15
        "&Aceptar", // 16
        "&Cancelar", // 17
        "&Siguiente >", // 18
        "Más &tarde", // 19
        "Advertencia", // 20
        "Error", // 21
        "Preparando. . .", // 22
        "Se ha publicado una nueva versión de %s.\n%s\n¿Desea actualizar su versión a la más reciente?", // 23
        "No se encontró una versión más reciente. Ya está\rusando la versión más reciente de este programa.", // 24
        "No se encontró en el sitio del desarrollador el archivo con la información de actualización.", // 25
        "No se puede acceder al servidor %s.\r\rCompruebe su conexión a Internet e\rintente actualizar este programa más tarde.", // 26
        "La actualización no ha terminado.\r¿Desea cancelar la actualización?", // 27
        "No se encuentra el archivo %s o no es accesible.\r\r¿Desea omitir este archivo y continuar la actualización?", // 28
        "El acceso al archivo remoto \"%s\" está protegido con contraseña.\n\nIntroduzca su nombre de usuario y contraseña (recibidos al registrarse) para continuar la actualización.", // 29
        "Se perdió la conexión con el servidor remoto.\r\rRestablezca la conexión e intente\ractualizar este programa más tarde.", // 30
    },
    // 6 Portuguese, block 41250
    {
        "Assistente de atualização da aplicação", // 0
        "A transferir ficheiros...", // 1
        "Atualização concluída!", // 2
        "Ficheiro atual", // 3
        "Todos os ficheiros", // 4
        "A transferir ficheiro de", // 5
        "Tamanho do ficheiro: %.1f KB", // 6
        "Taxa de transferência: %.1f KB/s", // 7
        "Tempo restante estimado: %d:%.2d:%.2d", // 8
        "A transferir %d de %d", // 9
        "A atualização de %s foi concluída com êxito.\r\rPrima o botão OK para reiniciar o programa.", // 10
        "Introduza a palavra-passe", // 11
        "Nome de utilizador", // 12
        "Palavra-passe", // 13
        "&Sim", // 14
        "&Não", // 15
        "&OK", // 16
        "&Cancelar", // 17
        "&Seguinte >", // 18
        "Mais &tarde", // 19
        "Aviso", // 20
        "Erro", // 21
        "A preparar. . .", // 22
        "Foi lançada uma nova versão de %s.\n%s\nDeseja atualizar a sua versão para a mais recente?", // 23
        "Não foi encontrada uma versão mais recente. Já está a\rutilizar a versão mais recente deste programa.", // 24
        "O ficheiro com as informações de atualização não foi encontrado no sítio do programador.", // 25
        "Anfitrião %s inacessível.\r\rVerifique a sua ligação à Internet e\rtente atualizar este programa mais tarde.", // 26
        "A atualização não está concluída.\rDeseja cancelar a atualização?", // 27
        "Ficheiro %s não encontrado ou inacessível.\r\rIgnorar este ficheiro e continuar a atualização?", // 28
        "O acesso ao ficheiro remoto \"%s\" está protegido por palavra-passe.\n\nIntroduza o seu nome de utilizador e palavra-passe (recebidos após o registo) para continuar a atualização.", // 29
        "A ligação ao servidor remoto foi perdida.\r\rRestabeleça a ligação e tente\ratualizar este programa mais tarde.", // 30
    },
    // 7 PortugueseBrazilian, block 41300
    {
        "Assistente de atualização do aplicativo", // 0
        "Baixando arquivos...", // 1
        "Atualização concluída!", // 2
        "Arquivo atual", // 3
        "Todos os arquivos", // 4
        "Baixando arquivo de", // 5
        "Tamanho do arquivo: %.1f KB", // 6
        "Taxa de transferência: %.1f KB/s", // 7
        "Tempo restante estimado: %d:%.2d:%.2d", // 8
        "Baixando %d de %d", // 9
        "A atualização de %s foi concluída com sucesso.\r\rClique no botão OK para reiniciar o programa.", // 10
        "Digite a senha", // 11
        "Nome de usuário", // 12
        "Senha", // 13
        "&Sim", // 14
        "&Não", // 15
        "&OK", // 16
        "&Cancelar", // 17
        "&Próximo >", // 18
        "Mais &tarde", // 19
        "Aviso", // 20
        "Erro", // 21
        "Preparando. . .", // 22
        "Uma nova versão de %s foi lançada.\n%s\nDeseja atualizar sua versão para a mais recente?", // 23
        "Nenhuma versão mais recente foi encontrada. Você já está\rusando a versão mais recente deste programa.", // 24
        "O arquivo com as informações de atualização não foi encontrado no site do desenvolvedor.", // 25
        "Servidor %s inacessível.\r\rVerifique sua conexão com a Internet e\rtente atualizar este programa mais tarde.", // 26
        "A atualização não foi concluída.\rDeseja cancelar a atualização?", // 27
        "Arquivo %s não encontrado ou inacessível.\r\rIgnorar este arquivo e continuar a atualização?", // 28
        "O acesso ao arquivo remoto \"%s\" é protegido por senha.\n\nDigite seu nome de usuário e senha (recebidos após o registro) para continuar a atualização.", // 29
        "A conexão com o servidor remoto foi perdida.\r\rRestabeleça a conexão e tente\ratualizar este programa mais tarde.", // 30
    },
    // 8 Italian, block 41350
    {
        "Procedura guidata di aggiornamento", // 0
        "Download dei file in corso...", // 1
        "Aggiornamento completato!", // 2
        "File corrente", // 3
        "Tutti i file", // 4
        "Download del file da", // 5
        "Dimensione del file: %.1f KB", // 6
        "Velocità di trasferimento: %.1f KB/s", // 7
        "Tempo rimanente stimato: %d:%.2d:%.2d", // 8
        "Download %d di %d", // 9
        "L'aggiornamento di %s è stato completato correttamente.\r\rPremere il pulsante OK per riavviare il programma.", // 10
        "Immettere la password", // 11
        "Nome utente", // 12
        "Password", // 13
        "&Sì", // 14
        "&No", // 15
        "&OK", // 16
        "&Annulla", // 17
        "&Avanti >", // 18
        "&Più tardi", // 19
        "Avviso", // 20
        "Errore", // 21
        "Preparazione. . .", // 22
        "È stata rilasciata una nuova versione di %s.\n%s\nAggiornare la versione in uso alla più recente?", // 23
        "Nessuna versione più recente trovata. Si sta già\rusando la versione più recente di questo programma.", // 24
        "Il file con le informazioni di aggiornamento non è stato trovato sul sito dello sviluppatore.", // 25
        "Host %s non raggiungibile.\r\rControllare la connessione a Internet e\rriprovare ad aggiornare il programma più tardi.", // 26
        "L'aggiornamento non è completo.\rInterrompere l'aggiornamento?", // 27
        "File %s non trovato o non accessibile.\r\rSaltare questo file e continuare l'aggiornamento?", // 28
        "L'accesso al file remoto \"%s\" è protetto da password.\n\nImmettere nome utente e password (ricevuti dopo la registrazione) per continuare l'aggiornamento.", // 29
        "Connessione con il server remoto interrotta.\r\rRipristinare la connessione e riprovare\rad aggiornare il programma più tardi.", // 30
    },
    // 9 Dutch, block 41400
    {
        "Wizard voor programma-update", // 0
        "Bestanden downloaden...", // 1
        "Update voltooid!", // 2
        "Huidig bestand", // 3
        "Alle bestanden", // 4
        "Bestand downloaden van", // 5
        "Bestandsgrootte: %.1f KB", // 6
        "Overdrachtssnelheid: %.1f KB/s", // 7
        "Geschatte resterende tijd: %d:%.2d:%.2d", // 8
        "Downloaden %d van %d", // 9
        "De update van %s is met succes voltooid.\r\rKlik op OK om het programma opnieuw te starten.", // 10
        "Wachtwoord invoeren", // 11
        "Gebruikersnaam", // 12
        "Wachtwoord", // 13
        "&Ja", // 14
        "&Nee", // 15
        "&OK", // 16
        "&Annuleren", // 17
        "&Volgende >", // 18
        "&Later", // 19
        "Waarschuwing", // 20
        "Fout", // 21
        "Voorbereiden. . .", // 22
        "Er is een nieuwe versie van %s uitgebracht.\n%s\nWilt u uw versie bijwerken naar de nieuwste?", // 23
        "Geen nieuwere versie gevonden. U gebruikt al\rde meest recente versie van dit programma.", // 24
        "Het bestand met de update-informatie is niet gevonden op de site van de ontwikkelaar.", // 25
        "Host %s is onbereikbaar.\r\rControleer uw internetverbinding en\rprobeer het programma later opnieuw bij te werken.", // 26
        "De update is niet voltooid.\rWilt u het bijwerken afbreken?", // 27
        "Bestand %s niet gevonden of niet toegankelijk.\r\rDit bestand overslaan en doorgaan met bijwerken?", // 28
        "Toegang tot het externe bestand \"%s\" is met een wachtwoord beveiligd.\n\nVoer uw gebruikersnaam en wachtwoord in (ontvangen na registratie) om door te gaan met het bijwerken.", // 29
        "De verbinding met de server is verbroken.\r\rHerstel de verbinding en probeer\rhet programma later opnieuw bij te werken.", // 30
    },
    // 10 Danish, block 41450
    {
        "Guide til programopdatering", // 0
        "Henter filer...", // 1
        "Opdateringen er fuldført!", // 2
        "Aktuel fil", // 3
        "Alle filer", // 4
        "Henter fil fra", // 5
        "Filstørrelse: %.1f KB", // 6
        "Overførselshastighed: %.1f KB/s", // 7
        "Anslået resterende tid: %d:%.2d:%.2d", // 8
        "Henter %d af %d", // 9
        "Opdateringen af %s er gennemført.\r\rTryk på OK for at genstarte programmet.", // 10
        "Angiv adgangskode", // 11
        "Brugernavn", // 12
        "Adgangskode", // 13
        "&Ja", // 14
        "&Nej", // 15
        "&OK", // 16
        "&Annuller", // 17
        "&Næste >", // 18
        "&Senere", // 19
        "Advarsel", // 20
        "Fejl", // 21
        "Forbereder. . .", // 22
        "Der er udgivet en nyere version af %s.\n%s\nVil du opdatere din version til den nyeste?", // 23
        "Der blev ikke fundet en nyere version. Du bruger allerede\rden nyeste version af dette program.", // 24
        "Filen med opdateringsoplysninger blev ikke fundet på udviklerens websted.", // 25
        "Værten %s kan ikke nås.\r\rKontroller din internetforbindelse, og\rprøv at opdatere programmet igen senere.", // 26
        "Opdateringen er ikke fuldført.\rVil du afbryde opdateringen?", // 27
        "Filen %s blev ikke fundet eller er utilgængelig.\r\rVil du springe filen over og fortsætte opdateringen?", // 28
        "Adgang til fjernfilen \"%s\" er beskyttet med adgangskode.\n\nAngiv dit brugernavn og din adgangskode (modtaget efter registrering) for at fortsætte opdateringen.", // 29
        "Forbindelsen til fjernserveren blev afbrudt.\r\rGenopret forbindelsen, og prøv\rat opdatere programmet igen senere.", // 30
    },
    // 11 Swedish, block 41500
    {
        "Guide för programuppdatering", // 0
        "Hämtar filer...", // 1
        "Uppdateringen är klar!", // 2
        "Aktuell fil", // 3
        "Alla filer", // 4
        "Hämtar fil från", // 5
        "Filstorlek: %.1f KB", // 6
        "Överföringshastighet: %.1f KB/s", // 7
        "Beräknad återstående tid: %d:%.2d:%.2d", // 8
        "Hämtar %d av %d", // 9
        "Uppdateringen av %s har slutförts.\r\rTryck på OK för att starta om programmet.", // 10
        "Ange lösenord", // 11
        "Användarnamn", // 12
        "Lösenord", // 13
        "&Ja", // 14
        "&Nej", // 15
        "&OK", // 16
        "&Avbryt", // 17
        "&Nästa >", // 18
        "&Senare", // 19
        "Varning", // 20
        "Fel", // 21
        "Förbereder. . .", // 22
        "En nyare version av %s har släppts.\n%s\nVill du uppdatera din version till den senaste?", // 23
        "Ingen nyare version hittades. Du använder redan\rden senaste versionen av programmet.", // 24
        "Filen med uppdateringsinformation hittades inte på utvecklarens webbplats.", // 25
        "Värden %s kan inte nås.\r\rKontrollera din Internetanslutning och\rförsök uppdatera programmet igen senare.", // 26
        "Uppdateringen är inte klar.\rVill du avbryta uppdateringen?", // 27
        "Filen %s hittades inte eller är inte åtkomlig.\r\rVill du hoppa över filen och fortsätta uppdateringen?", // 28
        "Åtkomst till fjärrfilen \"%s\" är lösenordsskyddad.\n\nAnge ditt användarnamn och lösenord (som du fick vid registreringen) för att fortsätta uppdateringen.", // 29
        "Anslutningen till fjärrservern bröts.\r\rÅterställ anslutningen och försök\ruppdatera programmet igen senare.", // 30
    },
    // 12 Finnish, block 41550
    {
        "Ohjelman päivitysavustaja", // 0
        "Ladataan tiedostoja...", // 1
        "Päivitys valmis!", // 2
        "Nykyinen tiedosto", // 3
        "Kaikki tiedostot", // 4
        "Ladataan tiedostoa osoitteesta", // 5
        "Tiedoston koko: %.1f kt", // 6
        "Siirtonopeus: %.1f kt/s", // 7
        "Arvioitu jäljellä oleva aika: %d:%.2d:%.2d", // 8
        "Ladataan %d / %d", // 9
        "Ohjelman %s päivitys on suoritettu onnistuneesti.\r\rKäynnistä ohjelma uudelleen painamalla OK.", // 10
        "Anna salasana", // 11
        "Käyttäjätunnus", // 12
        "Salasana", // 13
        "&Kyllä", // 14
        "&Ei", // 15
        "&OK", // 16
        "&Peruuta", // 17
        "&Seuraava >", // 18
        "&Myöhemmin", // 19
        "Varoitus", // 20
        "Virhe", // 21
        "Valmistellaan. . .", // 22
        "Ohjelmasta %s on julkaistu uudempi versio.\n%s\nHaluatko päivittää versiosi uusimpaan?", // 23
        "Uudempaa versiota ei löytynyt. Käytät jo\rtämän ohjelman uusinta versiota.", // 24
        "Päivitystiedot sisältävää tiedostoa ei löytynyt kehittäjän sivustolta.", // 25
        "Palvelimeen %s ei saada yhteyttä.\r\rTarkista Internet-yhteytesi ja\ryritä päivittää ohjelma myöhemmin uudelleen.", // 26
        "Päivitys on kesken.\rHaluatko keskeyttää päivityksen?", // 27
        "Tiedostoa %s ei löydy tai siihen ei päästä.\r\rOhitetaanko tämä tiedosto ja jatketaanko päivitystä?", // 28
        "Etätiedosto \"%s\" on suojattu salasanalla.\n\nJatka ohjelman päivitystä antamalla käyttäjätunnuksesi ja salasanasi (saatu rekisteröinnin jälkeen).", // 29
        "Yhteys etäpalvelimeen katkesi.\r\rPalauta yhteys ja yritä\rpäivittää ohjelma myöhemmin uudelleen.", // 30
    },
    // 13 Estonian, block 41600
    {
        "Programmi uuendamise viisard", // 0
        "Failide allalaadimine...", // 1
        "Uuendamine lõpetatud!", // 2
        "Praegune fail", // 3
        "Kõik failid", // 4
        "Faili allalaadimine asukohast", // 5
        "Faili suurus: %.1f kB", // 6
        "Edastuskiirus: %.1f kB/s", // 7
        "Hinnanguline järelejäänud aeg: %d:%.2d:%.2d", // 8
        "Allalaadimine %d / %d", // 9
        "Programmi %s uuendamine õnnestus.\r\rProgrammi taaskäivitamiseks vajutage nuppu OK.", // 10
        "Sisestage parool", // 11
        "Kasutajanimi", // 12
        "Parool", // 13
        "&Jah", // 14
        "&Ei", // 15
        "&OK", // 16
        "&Loobu", // 17
        "&Edasi >", // 18
        "&Hiljem", // 19
        "Hoiatus", // 20
        "Viga", // 21
        "Ettevalmistus. . .", // 22
        "Programmist %s on välja antud uuem versioon.\n%s\nKas soovite uuendada oma versiooni uusimale?", // 23
        "Uuemat versiooni ei leitud. Te juba\rkasutate selle programmi uusimat versiooni.", // 24
        "Uuendusteabega faili ei leitud arendaja veebisaidilt.", // 25
        "Host %s ei ole kättesaadav.\r\rKontrollige oma Interneti-ühendust ja\rproovige programmi hiljem uuesti uuendada.", // 26
        "Uuendamine ei ole lõpetatud.\rKas soovite uuendamise katkestada?", // 27
        "Faili %s ei leitud või see pole kättesaadav.\r\rKas jätta see fail vahele ja jätkata uuendamist?", // 28
        "Juurdepääs kaugfailile \"%s\" on parooliga kaitstud.\n\nUuendamise jätkamiseks sisestage oma kasutajanimi ja parool (saadud pärast registreerimist).", // 29
        "Ühendus kaugserveriga katkes.\r\rTaastage ühendus ja proovige\rprogrammi hiljem uuesti uuendada.", // 30
    },
    // 14 Ukrainian, block 41650
    {
        "Майстер оновлення програми", // 0
        "Завантаження файлів...", // 1
        "Оновлення завершено!", // 2
        "Поточний файл", // 3
        "Усі файли", // 4
        "Завантаження файлу з", // 5
        "Розмір файлу: %.1f КБ", // 6
        "Швидкість передачі: %.1f КБ/с", // 7
        "Залишилося приблизно: %d:%.2d:%.2d", // 8
        "Завантаження %d з %d", // 9
        "Оновлення %s успішно завершено.\r\rНатисніть кнопку OK, щоб перезапустити програму.", // 10
        "Введіть пароль", // 11
        "Ім'я користувача", // 12
        "Пароль", // 13
        "&Так", // 14
        "&Ні", // 15
        "&OK", // 16
        "&Скасувати", // 17
        "&Далі >", // 18
        "&Пізніше", // 19
        "Попередження", // 20
        "Помилка", // 21
        "Підготовка. . .", // 22
        "Вийшла нова версія %s.\n%s\nОновити вашу версію до останньої?", // 23
        "Нову версію не знайдено. Ви вже\rвикористовуєте останню версію цієї програми.", // 24
        "Файл з інформацією про оновлення не знайдено на сайті розробника.", // 25
        "Сервер %s недоступний.\r\rПеревірте підключення до Інтернету і\rспробуйте оновити програму пізніше.", // 26
        "Оновлення не завершено.\rПерервати оновлення?", // 27
        "Файл %s не знайдено або він недоступний.\r\rПропустити цей файл і продовжити оновлення?", // 28
        "Доступ до віддаленого файлу \"%s\" захищено паролем.\n\nВведіть ім'я користувача та пароль (отримані під час реєстрації), щоб продовжити оновлення програми.", // 29
        "З'єднання з віддаленим сервером втрачено.\r\rВідновіть з'єднання і спробуйте\rоновити програму пізніше.", // 30
    },
    // 15 Czech, block 41700
    {
        "Průvodce aktualizací aplikace", // 0
        "Stahování souborů...", // 1
        "Aktualizace dokončena!", // 2
        "Aktuální soubor", // 3
        "Všechny soubory", // 4
        "Stahování souboru z", // 5
        "Velikost souboru: %.1f kB", // 6
        "Přenosová rychlost: %.1f kB/s", // 7
        "Odhadovaný zbývající čas: %d:%.2d:%.2d", // 8
        "Stahování %d z %d", // 9
        "Aktualizace programu %s byla úspěšně dokončena.\r\rStisknutím tlačítka OK program restartujete.", // 10
        "Zadejte heslo", // 11
        "Uživatelské jméno", // 12
        "Heslo", // 13
        "&Ano", // 14
        "&Ne", // 15
        "&OK", // 16
        "&Storno", // 17
        "&Další >", // 18
        "&Později", // 19
        "Upozornění", // 20
        "Chyba", // 21
        "Příprava. . .", // 22
        "Byla vydána novější verze programu %s.\n%s\nChcete svou verzi aktualizovat na nejnovější?", // 23
        "Novější verze nebyla nalezena. Již používáte\rnejnovější verzi tohoto programu.", // 24
        "Soubor s informacemi o aktualizaci nebyl na webu vývojáře nalezen.", // 25
        "Server %s je nedostupný.\r\rZkontrolujte připojení k Internetu a\rzkuste program aktualizovat později.", // 26
        "Aktualizace není dokončena.\rChcete aktualizaci přerušit?", // 27
        "Soubor %s nebyl nalezen nebo je nepřístupný.\r\rPřeskočit tento soubor a pokračovat v aktualizaci?", // 28
        "Přístup ke vzdálenému souboru \"%s\" je chráněn heslem.\n\nChcete-li pokračovat v aktualizaci, zadejte své uživatelské jméno a heslo (obdržené po registraci).", // 29
        "Spojení se vzdáleným serverem bylo přerušeno.\r\rObnovte připojení a zkuste\rprogram aktualizovat později.", // 30
    },
    // 16 Hungarian, block 41750
    {
        "Alkalmazásfrissítő varázsló", // 0
        "Fájlok letöltése...", // 1
        "A frissítés befejeződött!", // 2
        "Aktuális fájl", // 3
        "Összes fájl", // 4
        "Fájl letöltése innen", // 5
        "Fájlméret: %.1f KB", // 6
        "Átviteli sebesség: %.1f KB/s", // 7
        "Becsült hátralévő idő: %d:%.2d:%.2d", // 8
        "Letöltés: %d / %d", // 9
        "A(z) %s frissítése sikeresen befejeződött.\r\rA program újraindításához kattintson az OK gombra.", // 10
        "Jelszó megadása", // 11
        "Felhasználónév", // 12
        "Jelszó", // 13
        "&Igen", // 14
        "&Nem", // 15
        "&OK", // 16
        "&Mégse", // 17
        "&Tovább >", // 18
        "&Később", // 19
        "Figyelmeztetés", // 20
        "Hiba", // 21
        "Előkészítés. . .", // 22
        "Megjelent a(z) %s újabb verziója.\n%s\nSzeretné frissíteni a verzióját a legújabbra?", // 23
        "Nem található újabb verzió. Már a program\rlegújabb verzióját használja.", // 24
        "A frissítési információkat tartalmazó fájl nem található a fejlesztő webhelyén.", // 25
        "A(z) %s kiszolgáló nem érhető el.\r\rEllenőrizze az internetkapcsolatot, és\rpróbálja később újra a frissítést.", // 26
        "A frissítés nem fejeződött be.\rSzeretné megszakítani a frissítést?", // 27
        "A(z) %s fájl nem található vagy nem érhető el.\r\rKihagyja ezt a fájlt, és folytatja a frissítést?", // 28
        "A(z) \"%s\" távoli fájl jelszóval védett.\n\nA frissítés folytatásához adja meg a felhasználónevét és a jelszavát (a regisztráció után kapta meg).", // 29
        "Megszakadt a kapcsolat a távoli kiszolgálóval.\r\rÁllítsa helyre a kapcsolatot, és próbálja\rkésőbb újra a frissítést.", // 30
    },
    // 17 Romanian, block 41800
    {
        "Asistent de actualizare a aplicației", // 0
        "Se descarcă fișierele...", // 1
        "Actualizare finalizată!", // 2
        "Fișierul curent", // 3
        "Toate fișierele", // 4
        "Se descarcă fișierul de la", // 5
        "Dimensiune fișier: %.1f KB", // 6
        "Viteză de transfer: %.1f KB/s", // 7
        "Timp rămas estimat: %d:%.2d:%.2d", // 8
        "Se descarcă %d din %d", // 9
        "Actualizarea %s s-a încheiat cu succes.\r\rApăsați butonul OK pentru a reporni programul.", // 10
        "Introduceți parola", // 11
        "Nume utilizator", // 12
        "Parolă", // 13
        "&Da", // 14
        "&Nu", // 15
        "&OK", // 16
        "&Anulare", // 17
        "Î&nainte >", // 18
        "Mai &târziu", // 19
        "Avertisment", // 20
        "Eroare", // 21
        "Se pregătește. . .", // 22
        "A apărut o versiune nouă a %s.\n%s\nDoriți să actualizați versiunea dvs. la cea mai recentă?", // 23
        "Nu s-a găsit o versiune mai nouă. Utilizați deja\rcea mai recentă versiune a acestui program.", // 24
        "Fișierul cu informațiile de actualizare nu a fost găsit pe site-ul dezvoltatorului.", // 25
        "Gazda %s nu poate fi contactată.\r\rVerificați conexiunea la Internet și\rîncercați din nou actualizarea mai târziu.", // 26
        "Actualizarea nu s-a încheiat.\rDoriți să renunțați la actualizare?", // 27
        "Fișierul %s nu a fost găsit sau nu este accesibil.\r\rOmiteți acest fișier și continuați actualizarea?", // 28
        "Accesul la fișierul la distanță \"%s\" este protejat prin parolă.\n\nIntroduceți numele de utilizator și parola (primite după înregistrare) pentru a continua actualizarea.", // 29
        "Conexiunea cu serverul la distanță s-a întrerupt.\r\rRestabiliți conexiunea și încercați\rdin nou actualizarea mai târziu.", // 30
    },
    // 18 Catalan, block 41850
    {
        "Assistent d'actualització de l'aplicació", // 0
        "S'estan baixant els fitxers...", // 1
        "Actualització completada!", // 2
        "Fitxer actual", // 3
        "Tots els fitxers", // 4
        "S'està baixant el fitxer de", // 5
        "Mida del fitxer: %.1f KB", // 6
        "Velocitat de transferència: %.1f KB/s", // 7
        "Temps restant estimat: %d:%.2d:%.2d", // 8
        "Baixant %d de %d", // 9
        "L'actualització de %s s'ha completat correctament.\r\rPremeu el botó D'acord per reiniciar el programa.", // 10
        "Introduïu la contrasenya", // 11
        "Nom d'usuari", // 12
        "Contrasenya", // 13
        "&Sí", // 14
        "&No", // 15
        "D'&acord", // 16
        "&Cancel·la", // 17
        "&Següent >", // 18
        "Més &tard", // 19
        "Avís", // 20
        "Error", // 21
        "S'està preparant. . .", // 22
        "S'ha publicat una versió nova de %s.\n%s\nVoleu actualitzar la vostra versió a la més recent?", // 23
        "No s'ha trobat cap versió més nova. Ja esteu\rutilitzant la versió més recent d'aquest programa.", // 24
        "No s'ha trobat al lloc del desenvolupador el fitxer amb la informació d'actualització.", // 25
        "No es pot accedir al servidor %s.\r\rComproveu la connexió a Internet i\rtorneu a provar d'actualitzar el programa més tard.", // 26
        "L'actualització no s'ha completat.\rVoleu cancel·lar l'actualització?", // 27
        "No s'ha trobat el fitxer %s o no és accessible.\r\rVoleu ometre aquest fitxer i continuar l'actualització?", // 28
        "L'accés al fitxer remot \"%s\" està protegit amb contrasenya.\n\nIntroduïu el nom d'usuari i la contrasenya (rebuts en registrar-vos) per continuar l'actualització.", // 29
        "S'ha perdut la connexió amb el servidor remot.\r\rRestabliu la connexió i torneu a provar\rd'actualitzar el programa més tard.", // 30
    },
    // 19 Basque, block 41900
    {
        "Aplikazioa eguneratzeko morroia", // 0
        "Fitxategiak deskargatzen...", // 1
        "Eguneratzea osatu da!", // 2
        "Uneko fitxategia", // 3
        "Fitxategi guztiak", // 4
        "Fitxategia hemendik deskargatzen", // 5
        "Fitxategiaren tamaina: %.1f KB", // 6
        "Transferentzia-abiadura: %.1f KB/s", // 7
        "Geratzen den denbora, gutxi gorabehera: %d:%.2d:%.2d", // 8
        "Deskargatzen: %d / %d", // 9
        "%s eguneratzea behar bezala osatu da.\r\rSakatu Ados botoia programa berrabiarazteko.", // 10
        "Idatzi pasahitza", // 11
        "Erabiltzaile-izena", // 12
        "Pasahitza", // 13
        "&Bai", // 14
        "&Ez", // 15
        "&Ados", // 16
        "&Utzi", // 17
        "&Hurrengoa >", // 18
        "Ge&roago", // 19
        "Abisua", // 20
        "Errorea", // 21
        "Prestatzen. . .", // 22
        "%s programaren bertsio berriagoa argitaratu da.\n%s\nZure bertsioa azkenera eguneratu nahi duzu?", // 23
        "Ez da bertsio berriagorik aurkitu. Dagoeneko\rprograma honen azken bertsioa erabiltzen ari zara.", // 24
        "Eguneratze-informazioa duen fitxategia ez da aurkitu garatzailearen gunean.", // 25
        "%s ostalaria ezin da atzitu.\r\rEgiaztatu Interneteko konexioa eta\rsaiatu programa geroago berriro eguneratzen.", // 26
        "Eguneratzea ez da osatu.\rEguneratzea bertan behera utzi nahi duzu?", // 27
        "%s fitxategia ez da aurkitu edo ezin da atzitu.\r\rFitxategi hau saltatu eta eguneratzearekin jarraitu?", // 28
        "\"%s\" urruneko fitxategia pasahitzez babestuta dago.\n\nIdatzi erabiltzaile-izena eta pasahitza (erregistratu ondoren jasoak) eguneratzearekin jarraitzeko.", // 29
        "Urruneko zerbitzariarekiko konexioa galdu da.\r\rBerreskuratu konexioa eta saiatu\rprograma geroago berriro eguneratzen.", // 30
    },
    // 20 Afrikaans, block 41950
    {
        "Opdateringsassistent vir die toepassing", // 0
        "Lêers word afgelaai...", // 1
        "Opdatering voltooi!", // 2
        "Huidige lêer", // 3
        "Alle lêers", // 4
        "Lêer word afgelaai vanaf", // 5
        "Lêergrootte: %.1f KB", // 6
        "Oordragspoed: %.1f KB/s", // 7
        "Geskatte oorblywende tyd: %d:%.2d:%.2d", // 8
        "Laai %d van %d af", // 9
        "Die opdatering van %s is suksesvol voltooi.\r\rDruk die OK-knoppie om die program te herbegin.", // 10
        "Tik wagwoord in", // 11
        "Gebruikersnaam", // 12
        "Wagwoord", // 13
        "&Ja", // 14
        "&Nee", // 15
        "&OK", // 16
        "&Kanselleer", // 17
        "&Volgende >", // 18
        "&Later", // 19
        "Waarskuwing", // 20
        "Fout", // 21
        "Berei voor. . .", // 22
        "'n Nuwer weergawe van %s is vrygestel.\n%s\nWil jy jou weergawe na die nuutste opdateer?", // 23
        "Geen nuwer weergawe gevind nie. Jy gebruik reeds\rdie nuutste weergawe van hierdie program.", // 24
        "Die lêer met die opdateringsinligting is nie op die ontwikkelaar se webwerf gevind nie.", // 25
        "Gasheer %s is onbereikbaar.\r\rGaan asseblief jou internetverbinding na en\rprobeer later weer om hierdie program op te dateer.", // 26
        "Die opdatering is nie voltooi nie.\rWil jy die opdatering staak?", // 27
        "Lêer %s is nie gevind nie of is ontoeganklik.\r\rHierdie lêer oorslaan en met die opdatering voortgaan?", // 28
        "Toegang tot die afgeleë lêer \"%s\" is met 'n wagwoord beskerm.\n\nTik asseblief jou gebruikersnaam en wagwoord in (ontvang ná registrasie) om met die opdatering voort te gaan.", // 29
        "Die verbinding met die afgeleë bediener is verbreek.\r\rHerstel asseblief die verbinding en probeer\rlater weer om hierdie program op te dateer.", // 30
    },
    // 21 ChineseTraditional, block 42000
    {
        "軟體升級精靈", // 0
        "檔案下載中", // 1
        "升級完成！", // 2
        "目前的檔案", // 3
        "全部的檔案", // 4
        "檔案下載來源", // 5
        "檔案大小:%.1f Kb", // 6
        "傳輸速率:%.1f Kb/s", // 7
        "估計剩餘時間: %d:%.2d:%.2d", // 8
        "目前正在下載:%d of %d", // 9
        "%s 已經升級完成，\r\r請按[確定]鍵重新啟動程式", // 10
        "請輸入密碼", // 11
        "帳號", // 12
        "密碼", // 13
        "[&Y]是", // 14
        "[&N]否", // 15
        "[&O]確定", // 16
        "[&C]取消", // 17
        "[&N]下一個>", // 18
        "[&L]稍後再說", // 19
        "警告", // 20
        "錯誤", // 21
        "準備中", // 22
        "%s已經有新版本推出，\n%s\n您要升級到新版本嗎？", // 23
        "沒有發現新的版本，您目前已經是最新版本。", // 24
        "在伺服器中無法找到升級的相關資訊。", // 25
        "無法與伺服器%s連線。\r\r請檢查您的網際網路設定之後再進行升級操作。", // 26
        "升級操作尚未完成，\r您確定要放棄升級嗎？", // 27
        "檔案%s找不到或者發生錯誤，\r\r您要略過這個檔案並且繼續升級操作嗎？", // 28
        "遠端的檔案\"%s\"被密碼保護，\n\n請輸入您的帳號及密碼[註冊使用者]來繼續進行升級操作。", // 29
        "與遠端伺服器的連線中斷，\r\r請重新連線後再進行升級操作。", // 30
    },
    // 22 ChineseSimplified, block 42050
    {
        "软件升级精灵", // 0
        "文档下载中", // 1
        "升级完成！", // 2
        "当前的文档", // 3
        "全部的文档", // 4
        "文档下载源", // 5
        "文档大小:%.1f Kb", // 6
        "传输速率:%.1f Kb/s", // 7
        "估计剩余时间: %d:%.2d:%.2d", // 8
        "当前正在下载:%d of %d", // 9
        "%s 已经升级完成，\r\r请按[确定]键重新启动程序", // 10
        "请输入密码", // 11
        "帐号", // 12
        "密码", // 13
        "[&Y]是", // 14
        "[&N]否", // 15
        "[&O]确定", // 16
        "[&C]取消", // 17
        "[&N]下一个>", // 18
        "[&L]稍等一下", // 19
        "警告", // 20
        "错误", // 21
        "准备中", // 22
        "%s已经有新版本推出，\n%s\n您要升级到新版本吗？", // 23
        "没有发现新的版本，您目前已经是最新版本。", // 24
        "在服务器中无法找到升级的相关信息。", // 25
        "无法与服务器%s连接。\r\r请检查您的internet设定之后再进行升级操作。", // 26
        "升级操作尚未完成，\r您确定要放弃升级吗？", // 27
        "文档%s找不到或者发生错误，\r\r您要忽略这个文档并且继续升级操作吗？", // 28
        "远端的文档\"%s\"被密码保护，\n\n请输入您的帐号及密码[注册用户]来继续进行升级操作。", // 29
        "与远端服务器的连接中断，\r\r请重新连接后再进行升级操作。", // 30
    },
    // 23 Indonesian, block 42100
    {
        "Wisaya pembaruan aplikasi", // 0
        "Mengunduh berkas...", // 1
        "Pembaruan selesai!", // 2
        "Berkas saat ini", // 3
        "Semua berkas", // 4
        "Mengunduh berkas dari", // 5
        "Ukuran berkas: %.1f KB", // 6
        "Kecepatan transfer: %.1f KB/s", // 7
        "Perkiraan sisa waktu: %d:%.2d:%.2d", // 8
        "Mengunduh %d dari %d", // 9
        "Pembaruan %s telah berhasil diselesaikan.\r\rTekan tombol OK untuk memulai ulang program.", // 10
        "Masukkan kata sandi", // 11
        "Nama Pengguna", // 12
        "Kata Sandi", // 13
        "&Ya", // 14
        "&Tidak", // 15
        "&OK", // 16
        "&Batal", // 17
        "&Berikutnya >", // 18
        "&Nanti", // 19
        "Peringatan", // 20
        "Kesalahan", // 21
        "Menyiapkan. . .", // 22
        "Versi baru %s telah dirilis.\n%s\nApakah Anda ingin memperbarui versi Anda ke yang terbaru?", // 23
        "Versi yang lebih baru tidak ditemukan. Anda sudah\rmenggunakan versi terbaru program ini.", // 24
        "Berkas yang berisi informasi pembaruan tidak ditemukan di situs pengembang.", // 25
        "Host %s tidak dapat dijangkau.\r\rSilakan periksa koneksi Internet Anda dan\rcoba perbarui perangkat lunak ini lagi nanti.", // 26
        "Pembaruan belum selesai.\rApakah Anda ingin membatalkan pembaruan?", // 27
        "Berkas %s tidak ditemukan atau tidak dapat diakses.\r\rLewati berkas ini dan lanjutkan pembaruan?", // 28
        "Akses ke berkas jarak jauh \"%s\" dilindungi kata sandi.\n\nSilakan masukkan nama pengguna dan kata sandi Anda (diterima setelah pendaftaran) untuk melanjutkan pembaruan perangkat lunak.", // 29
        "Koneksi dengan server jarak jauh terputus.\r\rSilakan pulihkan koneksi dan coba\rperbarui perangkat lunak ini lagi nanti.", // 30
    },
    // 24 Malay, block 42150
    {
        "Wizard kemas kini aplikasi", // 0
        "Memuat turun fail...", // 1
        "Kemas kini selesai!", // 2
        "Fail semasa", // 3
        "Semua fail", // 4
        "Memuat turun fail dari", // 5
        "Saiz fail: %.1f KB", // 6
        "Kadar pemindahan: %.1f KB/s", // 7
        "Anggaran masa berbaki: %d:%.2d:%.2d", // 8
        "Memuat turun %d daripada %d", // 9
        "Kemas kini %s telah berjaya diselesaikan.\r\rTekan butang OK untuk memulakan semula program.", // 10
        "Masukkan kata laluan", // 11
        "Nama Pengguna", // 12
        "Kata Laluan", // 13
        "&Ya", // 14
        "&Tidak", // 15
        "&OK", // 16
        "&Batal", // 17
        "&Seterusnya >", // 18
        "&Kemudian", // 19
        "Amaran", // 20
        "Ralat", // 21
        "Menyediakan. . .", // 22
        "Versi baharu %s telah dikeluarkan.\n%s\nAdakah anda mahu mengemas kini versi anda kepada yang terkini?", // 23
        "Versi yang lebih baharu tidak ditemui. Anda sebenarnya\rsedang menggunakan versi terkini program ini.", // 24
        "Fail yang mengandungi maklumat kemas kini tidak ditemui di laman pembangun.", // 25
        "Hos %s tidak dapat dicapai.\r\rSila semak sambungan Internet anda dan\rcuba kemas kini perisian ini sekali lagi kemudian.", // 26
        "Kemas kini belum selesai.\rAdakah anda mahu membatalkan kemas kini?", // 27
        "Fail %s tidak ditemui atau tidak dapat dicapai.\r\rLangkau fail ini dan teruskan kemas kini?", // 28
        "Akses kepada fail jauh \"%s\" dilindungi kata laluan.\n\nSila masukkan nama pengguna dan kata laluan anda (diterima selepas pendaftaran) untuk meneruskan kemas kini perisian.", // 29
        "Sambungan dengan pelayan jauh terputus.\r\rSila pulihkan sambungan dan cuba\rkemas kini perisian ini sekali lagi kemudian.", // 30
    },
    // 25 Icelandic, block 42200
    {
        "Uppfærsluálfur forrits", // 0
        "Sæki skrár...", // 1
        "Uppfærslu lokið!", // 2
        "Núverandi skrá", // 3
        "Allar skrár", // 4
        "Sæki skrá frá", // 5
        "Skráarstærð: %.1f KB", // 6
        "Flutningshraði: %.1f KB/s", // 7
        "Áætlaður tími eftir: %d:%.2d:%.2d", // 8
        "Sæki %d af %d", // 9
        "Uppfærslu %s er lokið.\r\rSmelltu á Í lagi til að endurræsa forritið.", // 10
        "Sláðu inn lykilorð", // 11
        "Notandanafn", // 12
        "Lykilorð", // 13
        "&Já", // 14
        "&Nei", // 15
        "Í &lagi", // 16
        "&Hætta við", // 17
        "Á&fram >", // 18
        "&Seinna", // 19
        "Viðvörun", // 20
        "Villa", // 21
        "Undirbý. . .", // 22
        "Ný útgáfa af %s er komin út.\n%s\nViltu uppfæra útgáfuna þína í þá nýjustu?", // 23
        "Engin nýrri útgáfa fannst. Þú ert nú þegar\rað nota nýjustu útgáfu þessa forrits.", // 24
        "Skráin með upplýsingum um uppfærslu fannst ekki á vef framleiðandans.", // 25
        "Ekki næst í hýsilinn %s.\r\rAthugaðu nettenginguna þína og\rreyndu að uppfæra forritið aftur síðar.", // 26
        "Uppfærslunni er ekki lokið.\rViltu hætta við uppfærsluna?", // 27
        "Skráin %s fannst ekki eða er óaðgengileg.\r\rSleppa þessari skrá og halda uppfærslunni áfram?", // 28
        "Aðgangur að fjarskránni \"%s\" er varinn með lykilorði.\n\nSláðu inn notandanafn og lykilorð (sem þú fékkst við skráningu) til að halda uppfærslunni áfram.", // 29
        "Tengingin við fjarþjóninn rofnaði.\r\rKomdu tengingunni á aftur og reyndu\rað uppfæra forritið aftur síðar.", // 30
    },
};

} // namespace UpgradeMessages::detail
