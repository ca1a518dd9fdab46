#include "host/result_message.h"

#include <map>
#include <sstream>

#include "host/result_codes.h"

namespace quillet::host {

namespace {

// The messages, letter for letter. Those of 12, 13 and 14 begin with the Latin letter c
// (U+0063), unlike the Cyrillic one of 15 and 16; 103 and 104 share their text.
const std::map<int, std::wstring> kMessages = {
    {Ok, L"операция выполнена успешно"},
    {CancelledByUser, L"операция отменена пользователем"},
    {CertificateLoadFailed, L"не удалось загрузить переданный сертификат"},
    {NoCertificatesInStore, L"в хранилище нет доступных для выбора сертификатов"},
    {StoreAccessFailed, L"не удалось получить доступ к хранилищу сертификатов"},
    {NotGostCertificate, L"сертификат не соответствует алгоритму ГОСТ"},
    {NotSigningCertificate, L"сертификат не может использоваться для формирования подписи"},
    {CertificateExpired, L"истек срок действия сертификата"},
    {CertificateNotYetValid, L"время действия сертификата ещё не наступило"},
    {PropertyMissing, L"сертификат не содержит запрашиваемого свойства"},
    {CertificateNotFound, L"сертификат не найден в хранилище сертификатов"},
    {RevocationCheckFailed, L"невозможно проверить отзыв сертификата"},
    {RevokedUnspecified, L"cертификат отозван, причина не указана"},
    {RevokedKeyCompromise, L"cертификат отозван по причине компрометации секретного ключа"},
    {RevokedCaCompromise, L"cертификат отозван по причине компрометации секретного ключа УЦ"},
    {RevokedAffiliationChanged,
     L"сертификат отозван по причине изменения наименования объекта или другой информация"},
    {RevokedSuperseded, L"сертификат отозван по причине замены"},
    {RevokedCessation, L"сертификат отозван, поскольку в нём более нет необходимости"},
    {CertificateOnHold, L"действие сертификата приостановлено"},
    {XmlSecInitFailed, L"не удалось инициализировать xmlsec"},
    {XmlSecVersionMismatch, L"загруженная библиотека xmlsec не совместима по версии"},
    {CryptoBackendLoadFailed, L"не удалось загрузить libxmlsec-mscrypto"},
    {CryptoAppInitFailed, L"не удалось инициализовать криптографические функции xmlsec"},
    {CryptoInitFailed, L"не удалось инициализовать криптографические функции xmlsec"},
    {ProxyLoadFailed, L"не удалось загрузить прокси-библиотеку"},
    {ProxyEntryMissing, L"не удалось получить одну из точек входа прокси-библиотеки"},
    {DependencyLoadFailed, L"не удалось загрузить необходимые библиотеки"},
    {SignerCreateFailed, L"не удалось создать объект подписи"},
    {KeySelectFailed, L"не удалось выбрать ключ для подписания из сертификата"},
    {KeyPasswordFailed, L"не удалось установить пароль для ключа"},
    {KeyInitFailed, L"не удалось инициализировать ключ для подписания"},
    {CertificateAddFailed, L"не удалось добавить сертификат"},
    {TemplateCreateFailed, L"не удалось сформировать шаблон подписи"},
    {ReferenceAddFailed, L"не удалось добавить ссылку на шаблон подписи"},
    {EnvelopedTransformFailed, L"не удалось выполнить enveloped-преобразование"},
    {KeyInfoAddFailed, L"не удалось добавить ссылку на ключ"},
    {KeyDataNodeAddFailed, L"не удалось добавить узел для данных ключа"},
    {XmlParseFailed, L"не удалось произвести разбор xml документа"},
    {XmlEncodingUnsupported, L"неподдерживаемая кодировка xml документа"},
    {SignatureContextFailed, L"не удалось сформировать контекст подписи"},
    {KeysManagerCreateFailed, L"не удалось создать менеджер ключей"},
    {KeysManagerInitFailed, L"не удалось инициализировать менеджер ключей"},
    {SigningFailed, L"не удалось сформировать подпись"},
    {SignatureMissing, L"в xml документе отсутствует подпись"},
    {VerificationFailed, L"невозможно проверить подпись"},
    {SignatureInvalid, L"подпись не верна"},
    {SignatureValidCertificateUnchecked,
     L"подпись верна, но не удалось проверить действительность сертификата"},
    {OutOfMemory, L"недостаточно памяти для выполнения операции"},
    {UnexpectedError, L"во время операции произошла неожиданная ошибка"},
    {CryptoApiCallFailed, L"ошибка при вызове фукции Windows Crypto API"},
    {CryptDlgLoadFailed, L"не удалось загрузить cryptdlg.dll"},
    {CertSelectMissing, L"не удалось найти функцию CertSelectCertificate"},
};

}  // namespace

std::wstring resultMessage(int code) {
  auto found = kMessages.find(code);
  if (found != kMessages.end()) return found->second;
  std::wostringstream fallback;
  fallback << L"передан неизвестный код ошибки (" << code << L")";
  return fallback.str();
}

}  // namespace quillet::host
