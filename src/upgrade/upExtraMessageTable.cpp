// The upgrade's own messages beyond the classic table (a file that cannot be written,
// an installer that cannot be prepared, an unsigned information file, a download that is
// not the released file, a build without upgrades, a file of a signed release missing on
// the server), one block per language in the order of the languages'
// ordinals. Every block keeps the English placeholders in the same order.
#include "upMessages.h"

namespace UpgradeMessages::detail {

extern const char *const kExtraBlocks[kLanguageCount][kExtraMessageCount];
const char *const kExtraBlocks[kLanguageCount][kExtraMessageCount] = {
    // 1 English
    {
        "File %s could not be written.\r\rThe upgrade was stopped; no file of this program was changed.",
        "The installer of this upgrade could not be prepared.\r\rThe upgrade was stopped; no file of this program was changed.",
        "The upgrade information is not signed by the publisher of this program.\r\rNo upgrade is installed.",
        "File %s is not the file the publisher released.\r\rThe upgrade was stopped; no file of this program was changed.",
        "Upgrades are off for this build of the program: it was built without the publisher's release key.",
        "File %s was not found on the server.\r\rA release is installed whole or not at all: the upgrade was stopped; no file of this program was changed.",
    },
    // 2 Russian
    {
        "Не удалось записать файл %s.\r\rОбновление остановлено; ни один файл программы не изменён.",
        "Не удалось подготовить установщик этого обновления.\r\rОбновление остановлено; ни один файл программы не изменён.",
        "Информация об обновлении не подписана издателем этой программы.\r\rОбновление не будет установлено.",
        "Файл %s не совпадает с файлом, выпущенным издателем.\r\rОбновление остановлено; ни один файл программы не изменён.",
        "Обновления отключены в этой сборке программы: она собрана без ключа выпуска издателя.",
        "Файл %s не найден на сервере.\r\rВыпуск устанавливается только целиком: обновление остановлено; ни один файл программы не изменён.",
    },
    // 3 German
    {
        "Die Datei %s konnte nicht geschrieben werden.\r\rDie Aktualisierung wurde abgebrochen; keine Datei dieses Programms wurde geändert.",
        "Das Installationsprogramm dieser Aktualisierung konnte nicht vorbereitet werden.\r\rDie Aktualisierung wurde abgebrochen; keine Datei dieses Programms wurde geändert.",
        "Die Aktualisierungsinformationen sind nicht vom Herausgeber dieses Programms signiert.\r\rEs wird keine Aktualisierung installiert.",
        "Die Datei %s ist nicht die vom Herausgeber veröffentlichte Datei.\r\rDie Aktualisierung wurde abgebrochen; keine Datei dieses Programms wurde geändert.",
        "Aktualisierungen sind in diesem Build des Programms abgeschaltet: Er wurde ohne den Veröffentlichungsschlüssel des Herausgebers erstellt.",
        "Die Datei %s wurde auf dem Server nicht gefunden.\r\rEine Version wird nur vollständig installiert: Die Aktualisierung wurde abgebrochen; keine Datei dieses Programms wurde geändert.",
    },
    // 4 French
    {
        "Impossible d'écrire le fichier %s.\r\rLa mise à jour a été arrêtée ; aucun fichier de ce programme n'a été modifié.",
        "Le programme d'installation de cette mise à jour n'a pas pu être préparé.\r\rLa mise à jour a été arrêtée ; aucun fichier de ce programme n'a été modifié.",
        "Les informations de mise à jour ne sont pas signées par l'éditeur de ce programme.\r\rAucune mise à jour n'est installée.",
        "Le fichier %s n'est pas celui que l'éditeur a publié.\r\rLa mise à jour a été arrêtée ; aucun fichier de ce programme n'a été modifié.",
        "Les mises à jour sont désactivées pour cette version du programme : elle a été construite sans la clé de publication de l'éditeur.",
        "Le fichier %s est introuvable sur le serveur.\r\rUne version s'installe entièrement ou pas du tout : la mise à jour a été arrêtée ; aucun fichier de ce programme n'a été modifié.",
    },
    // 5 Spanish
    {
        "No se pudo escribir el archivo %s.\r\rLa actualización se ha detenido; no se ha modificado ningún archivo de este programa.",
        "No se pudo preparar el instalador de esta actualización.\r\rLa actualización se ha detenido; no se ha modificado ningún archivo de este programa.",
        "La información de actualización no está firmada por el editor de este programa.\r\rNo se instala ninguna actualización.",
        "El archivo %s no es el que publicó el editor.\r\rLa actualización se ha detenido; no se ha modificado ningún archivo de este programa.",
        "Las actualizaciones están desactivadas en esta compilación del programa: se compiló sin la clave de publicación del editor.",
        "No se encontró el archivo %s en el servidor.\r\rUna versión se instala completa o no se instala: la actualización se ha detenido; no se ha modificado ningún archivo de este programa.",
    },
    // 6 Portuguese
    {
        "Não foi possível escrever o ficheiro %s.\r\rA atualização foi interrompida; nenhum ficheiro deste programa foi alterado.",
        "Não foi possível preparar o instalador desta atualização.\r\rA atualização foi interrompida; nenhum ficheiro deste programa foi alterado.",
        "A informação de atualização não está assinada pelo editor deste programa.\r\rNenhuma atualização é instalada.",
        "O ficheiro %s não é o ficheiro publicado pelo editor.\r\rA atualização foi interrompida; nenhum ficheiro deste programa foi alterado.",
        "As atualizações estão desativadas nesta compilação do programa: foi compilada sem a chave de publicação do editor.",
        "O ficheiro %s não foi encontrado no servidor.\r\rUma versão instala-se completa ou não se instala: a atualização foi interrompida; nenhum ficheiro deste programa foi alterado.",
    },
    // 7 Portuguese (Brazil)
    {
        "Não foi possível gravar o arquivo %s.\r\rA atualização foi interrompida; nenhum arquivo deste programa foi alterado.",
        "Não foi possível preparar o instalador desta atualização.\r\rA atualização foi interrompida; nenhum arquivo deste programa foi alterado.",
        "As informações de atualização não estão assinadas pelo editor deste programa.\r\rNenhuma atualização será instalada.",
        "O arquivo %s não é o arquivo publicado pelo editor.\r\rA atualização foi interrompida; nenhum arquivo deste programa foi alterado.",
        "As atualizações estão desativadas nesta compilação do programa: ela foi compilada sem a chave de publicação do editor.",
        "O arquivo %s não foi encontrado no servidor.\r\rUma versão é instalada completa ou não é instalada: a atualização foi interrompida; nenhum arquivo deste programa foi alterado.",
    },
    // 8 Italian
    {
        "Impossibile scrivere il file %s.\r\rL'aggiornamento è stato interrotto; nessun file di questo programma è stato modificato.",
        "Impossibile preparare il programma di installazione di questo aggiornamento.\r\rL'aggiornamento è stato interrotto; nessun file di questo programma è stato modificato.",
        "Le informazioni di aggiornamento non sono firmate dall'editore di questo programma.\r\rNon viene installato alcun aggiornamento.",
        "Il file %s non è il file pubblicato dall'editore.\r\rL'aggiornamento è stato interrotto; nessun file di questo programma è stato modificato.",
        "Gli aggiornamenti sono disattivati in questa build del programma: è stata compilata senza la chiave di pubblicazione dell'editore.",
        "Il file %s non è stato trovato sul server.\r\rUna versione si installa per intero o per niente: l'aggiornamento è stato interrotto; nessun file di questo programma è stato modificato.",
    },
    // 9 Dutch
    {
        "Bestand %s kon niet worden geschreven.\r\rHet bijwerken is gestopt; geen enkel bestand van dit programma is gewijzigd.",
        "Het installatieprogramma van deze update kon niet worden voorbereid.\r\rHet bijwerken is gestopt; geen enkel bestand van dit programma is gewijzigd.",
        "De update-informatie is niet ondertekend door de uitgever van dit programma.\r\rEr wordt geen update geïnstalleerd.",
        "Bestand %s is niet het bestand dat de uitgever heeft uitgebracht.\r\rHet bijwerken is gestopt; geen enkel bestand van dit programma is gewijzigd.",
        "Updates zijn uitgeschakeld in deze build van het programma: hij is gebouwd zonder de publicatiesleutel van de uitgever.",
        "Bestand %s is niet gevonden op de server.\r\rEen versie wordt geheel of niet geïnstalleerd: het bijwerken is gestopt; geen enkel bestand van dit programma is gewijzigd.",
    },
    // 10 Danish
    {
        "Filen %s kunne ikke skrives.\r\rOpdateringen blev stoppet; ingen af programmets filer blev ændret.",
        "Installationsprogrammet til denne opdatering kunne ikke klargøres.\r\rOpdateringen blev stoppet; ingen af programmets filer blev ændret.",
        "Opdateringsoplysningerne er ikke signeret af programmets udgiver.\r\rDer installeres ingen opdatering.",
        "Filen %s er ikke den fil, udgiveren har udgivet.\r\rOpdateringen blev stoppet; ingen af programmets filer blev ændret.",
        "Opdateringer er slået fra i denne udgave af programmet: den er bygget uden udgiverens udgivelsesnøgle.",
        "Filen %s blev ikke fundet på serveren.\r\rEn udgivelse installeres helt eller slet ikke: opdateringen blev stoppet; ingen af programmets filer blev ændret.",
    },
    // 11 Swedish
    {
        "Filen %s kunde inte skrivas.\r\rUppdateringen stoppades; inga av programmets filer ändrades.",
        "Installationsprogrammet för den här uppdateringen kunde inte förberedas.\r\rUppdateringen stoppades; inga av programmets filer ändrades.",
        "Uppdateringsinformationen är inte signerad av programmets utgivare.\r\rIngen uppdatering installeras.",
        "Filen %s är inte den fil som utgivaren publicerade.\r\rUppdateringen stoppades; inga av programmets filer ändrades.",
        "Uppdateringar är avstängda i den här versionen av programmet: den byggdes utan utgivarens publiceringsnyckel.",
        "Filen %s hittades inte på servern.\r\rEn version installeras helt eller inte alls: uppdateringen stoppades; inga av programmets filer ändrades.",
    },
    // 12 Finnish
    {
        "Tiedostoa %s ei voitu kirjoittaa.\r\rPäivitys keskeytettiin; ohjelman tiedostoja ei muutettu.",
        "Tämän päivityksen asennusohjelmaa ei voitu valmistella.\r\rPäivitys keskeytettiin; ohjelman tiedostoja ei muutettu.",
        "Päivitystiedot eivät ole tämän ohjelman julkaisijan allekirjoittamia.\r\rPäivitystä ei asenneta.",
        "Tiedosto %s ei ole julkaisijan julkaisema tiedosto.\r\rPäivitys keskeytettiin; ohjelman tiedostoja ei muutettu.",
        "Päivitykset eivät ole käytössä tässä ohjelman käännöksessä: se on käännetty ilman julkaisijan julkaisuavainta.",
        "Tiedostoa %s ei löytynyt palvelimelta.\r\rJulkaisu asennetaan kokonaan tai ei lainkaan: päivitys keskeytettiin; ohjelman tiedostoja ei muutettu.",
    },
    // 13 Estonian
    {
        "Faili %s ei saanud kirjutada.\r\rUuendamine peatati; ühtegi selle programmi faili ei muudetud.",
        "Selle uuenduse paigaldajat ei saanud ette valmistada.\r\rUuendamine peatati; ühtegi selle programmi faili ei muudetud.",
        "Uuenduse teave ei ole selle programmi väljaandja allkirjastatud.\r\rUuendust ei paigaldata.",
        "Fail %s ei ole väljaandja avaldatud fail.\r\rUuendamine peatati; ühtegi selle programmi faili ei muudetud.",
        "Uuendused on selles programmi järgus välja lülitatud: see on ehitatud ilma väljaandja väljalaskevõtmeta.",
        "Faili %s ei leitud serverist.\r\rVäljalase paigaldatakse tervikuna või üldse mitte: uuendamine peatati; ühtegi selle programmi faili ei muudetud.",
    },
    // 14 Ukrainian
    {
        "Не вдалося записати файл %s.\r\rОновлення зупинено; жоден файл програми не змінено.",
        "Не вдалося підготувати інсталятор цього оновлення.\r\rОновлення зупинено; жоден файл програми не змінено.",
        "Інформацію про оновлення не підписано видавцем цієї програми.\r\rОновлення не буде встановлено.",
        "Файл %s не збігається з файлом, випущеним видавцем.\r\rОновлення зупинено; жоден файл програми не змінено.",
        "Оновлення вимкнено в цій збірці програми: її зібрано без ключа випуску видавця.",
        "Файл %s не знайдено на сервері.\r\rВипуск встановлюється лише повністю: оновлення зупинено; жоден файл програми не змінено.",
    },
    // 15 Czech
    {
        "Soubor %s nelze zapsat.\r\rAktualizace byla zastavena; žádný soubor tohoto programu nebyl změněn.",
        "Instalační program této aktualizace nelze připravit.\r\rAktualizace byla zastavena; žádný soubor tohoto programu nebyl změněn.",
        "Informace o aktualizaci nejsou podepsány vydavatelem tohoto programu.\r\rŽádná aktualizace nebude nainstalována.",
        "Soubor %s není soubor, který vydavatel vydal.\r\rAktualizace byla zastavena; žádný soubor tohoto programu nebyl změněn.",
        "Aktualizace jsou v tomto sestavení programu vypnuty: bylo sestaveno bez klíče vydání vydavatele.",
        "Soubor %s nebyl na serveru nalezen.\r\rVydání se instaluje celé, nebo vůbec: aktualizace byla zastavena; žádný soubor tohoto programu nebyl změněn.",
    },
    // 16 Hungarian
    {
        "A(z) %s fájl nem írható.\r\rA frissítés leállt; a program egyetlen fájlja sem változott.",
        "A frissítés telepítője nem készíthető elő.\r\rA frissítés leállt; a program egyetlen fájlja sem változott.",
        "A frissítési információt nem a program kiadója írta alá.\r\rNem települ frissítés.",
        "A(z) %s fájl nem a kiadó által kiadott fájl.\r\rA frissítés leállt; a program egyetlen fájlja sem változott.",
        "A frissítések ki vannak kapcsolva a program ezen változatában: a kiadó kiadási kulcsa nélkül készült.",
        "A(z) %s fájl nem található a kiszolgálón.\r\rEgy kiadás csak egészben települ: a frissítés leállt; a program egyetlen fájlja sem változott.",
    },
    // 17 Romanian
    {
        "Fișierul %s nu a putut fi scris.\r\rActualizarea a fost oprită; niciun fișier al acestui program nu a fost modificat.",
        "Programul de instalare al acestei actualizări nu a putut fi pregătit.\r\rActualizarea a fost oprită; niciun fișier al acestui program nu a fost modificat.",
        "Informațiile de actualizare nu sunt semnate de editorul acestui program.\r\rNu se instalează nicio actualizare.",
        "Fișierul %s nu este fișierul publicat de editor.\r\rActualizarea a fost oprită; niciun fișier al acestui program nu a fost modificat.",
        "Actualizările sunt dezactivate în această versiune a programului: a fost compilată fără cheia de publicare a editorului.",
        "Fișierul %s nu a fost găsit pe server.\r\rO versiune se instalează complet sau deloc: actualizarea a fost oprită; niciun fișier al acestui program nu a fost modificat.",
    },
    // 18 Catalan
    {
        "No s'ha pogut escriure el fitxer %s.\r\rL'actualització s'ha aturat; no s'ha modificat cap fitxer d'aquest programa.",
        "No s'ha pogut preparar l'instal·lador d'aquesta actualització.\r\rL'actualització s'ha aturat; no s'ha modificat cap fitxer d'aquest programa.",
        "La informació d'actualització no està signada per l'editor d'aquest programa.\r\rNo s'instal·la cap actualització.",
        "El fitxer %s no és el fitxer que va publicar l'editor.\r\rL'actualització s'ha aturat; no s'ha modificat cap fitxer d'aquest programa.",
        "Les actualitzacions estan desactivades en aquesta compilació del programa: s'ha compilat sense la clau de publicació de l'editor.",
        "No s'ha trobat el fitxer %s al servidor.\r\rUna versió s'instal·la sencera o no s'instal·la: l'actualització s'ha aturat; no s'ha modificat cap fitxer d'aquest programa.",
    },
    // 19 Basque
    {
        "Ezin izan da %s fitxategia idatzi.\r\rEguneratzea gelditu da; programa honen fitxategirik ez da aldatu.",
        "Ezin izan da eguneratze honen instalatzailea prestatu.\r\rEguneratzea gelditu da; programa honen fitxategirik ez da aldatu.",
        "Eguneratze-informazioa ez dago programa honen argitaratzaileak sinatuta.\r\rEz da eguneratzerik instalatuko.",
        "%s fitxategia ez da argitaratzaileak argitaratutakoa.\r\rEguneratzea gelditu da; programa honen fitxategirik ez da aldatu.",
        "Eguneratzeak desgaituta daude programaren konpilazio honetan: argitaratzailearen argitalpen-gakorik gabe konpilatu da.",
        "Ez da %s fitxategia aurkitu zerbitzarian.\r\rBertsio bat osorik instalatzen da edo ez da instalatzen: eguneratzea gelditu da; programa honen fitxategirik ez da aldatu.",
    },
    // 20 Afrikaans
    {
        "Lêer %s kon nie geskryf word nie.\r\rDie opdatering is gestaak; geen lêer van hierdie program is verander nie.",
        "Die installeerder van hierdie opdatering kon nie voorberei word nie.\r\rDie opdatering is gestaak; geen lêer van hierdie program is verander nie.",
        "Die opdateringsinligting is nie deur die uitgewer van hierdie program onderteken nie.\r\rGeen opdatering word geïnstalleer nie.",
        "Lêer %s is nie die lêer wat die uitgewer vrygestel het nie.\r\rDie opdatering is gestaak; geen lêer van hierdie program is verander nie.",
        "Opdaterings is in hierdie bou van die program afgeskakel: dit is sonder die uitgewer se vrystellingsleutel gebou.",
        "Lêer %s is nie op die bediener gevind nie.\r\r'n Vrystelling word heeltemal of glad nie geïnstalleer nie: die opdatering is gestaak; geen lêer van hierdie program is verander nie.",
    },
    // 21 Chinese (Traditional)
    {
        "無法寫入檔案%s。\r\r升級已停止，本程式的檔案均未變更。",
        "無法準備本次升級的安裝程式。\r\r升級已停止，本程式的檔案均未變更。",
        "升級資訊沒有本程式發佈者的有效簽章。\r\r不會安裝任何升級。",
        "檔案%s與發佈者發佈的檔案不符。\r\r升級已停止，本程式的檔案均未變更。",
        "此版本的程式已關閉升級：建置時沒有發佈者的發佈金鑰。",
        "伺服器上找不到檔案%s。\r\r升級只會完整安裝或完全不安裝：升級已停止，本程式的檔案均未變更。",
    },
    // 22 Chinese (Simplified)
    {
        "无法写入文档%s。\r\r升级已停止，本程序的文档均未更改。",
        "无法准备本次升级的安装程序。\r\r升级已停止，本程序的文档均未更改。",
        "升级信息没有本程序发布者的有效签名。\r\r不会安装任何升级。",
        "文档%s与发布者发布的文档不符。\r\r升级已停止，本程序的文档均未更改。",
        "此版本的程序已关闭升级：构建时没有发布者的发布密钥。",
        "服务器上找不到文档%s。\r\r升级只会完整安装或完全不安装：升级已停止，本程序的文档均未更改。",
    },
    // 23 Indonesian
    {
        "Berkas %s tidak dapat ditulis.\r\rPembaruan dihentikan; tidak ada berkas program ini yang diubah.",
        "Penginstal pembaruan ini tidak dapat disiapkan.\r\rPembaruan dihentikan; tidak ada berkas program ini yang diubah.",
        "Informasi pembaruan tidak ditandatangani oleh penerbit program ini.\r\rTidak ada pembaruan yang dipasang.",
        "Berkas %s bukan berkas yang dirilis oleh penerbit.\r\rPembaruan dihentikan; tidak ada berkas program ini yang diubah.",
        "Pembaruan dinonaktifkan pada build program ini: program dibangun tanpa kunci rilis penerbit.",
        "Berkas %s tidak ditemukan di server.\r\rSebuah rilis dipasang utuh atau tidak sama sekali: pembaruan dihentikan; tidak ada berkas program ini yang diubah.",
    },
    // 24 Malay
    {
        "Fail %s tidak dapat ditulis.\r\rKemas kini dihentikan; tiada fail program ini yang diubah.",
        "Pemasang kemas kini ini tidak dapat disediakan.\r\rKemas kini dihentikan; tiada fail program ini yang diubah.",
        "Maklumat kemas kini tidak ditandatangani oleh penerbit program ini.\r\rTiada kemas kini yang dipasang.",
        "Fail %s bukan fail yang dikeluarkan oleh penerbit.\r\rKemas kini dihentikan; tiada fail program ini yang diubah.",
        "Kemas kini dimatikan dalam binaan program ini: ia dibina tanpa kunci keluaran penerbit.",
        "Fail %s tidak ditemui pada pelayan.\r\rSesuatu keluaran dipasang sepenuhnya atau tidak langsung: kemas kini dihentikan; tiada fail program ini yang diubah.",
    },
    // 25 Icelandic
    {
        "Ekki tókst að skrifa skrána %s.\r\rUppfærslan var stöðvuð; engum skrám þessa forrits var breytt.",
        "Ekki tókst að undirbúa uppsetningarforrit þessarar uppfærslu.\r\rUppfærslan var stöðvuð; engum skrám þessa forrits var breytt.",
        "Uppfærsluupplýsingarnar eru ekki undirritaðar af útgefanda þessa forrits.\r\rEngin uppfærsla er sett upp.",
        "Skráin %s er ekki skráin sem útgefandinn gaf út.\r\rUppfærslan var stöðvuð; engum skrám þessa forrits var breytt.",
        "Uppfærslur eru óvirkar í þessari útgáfu forritsins: hún var byggð án útgáfulykils útgefandans.",
        "Skráin %s fannst ekki á þjóninum.\r\rÚtgáfa er sett upp í heild eða alls ekki: uppfærslan var stöðvuð; engum skrám þessa forrits var breytt.",
    },
};

} // namespace UpgradeMessages::detail
