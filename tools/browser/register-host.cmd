@echo off
rem Registers QuilletHost.exe as the native messaging host "tavlin.quillet" for the
rem current user in Chromium, Google Chrome and Firefox on Windows, or removes the
rem registration. Windows browsers find a host through the registry: the default value
rem of HKCU\Software\<browser key>\NativeMessagingHosts\tavlin.quillet is the full path
rem of its manifest file. The manifests are written to %LOCALAPPDATA%\Quillet\.
rem
rem Usage: register-host.cmd register|unregister [options]
rem   --host PATH                 QuilletHost.exe (default: the one beside this script)
rem   --extension-id ID           Chromium-family extension ID; repeat for several
rem                               (default: the sample extension)
rem   --firefox-extension-id ID   Firefox add-on ID; repeat for several (default: the
rem                               sample extension's)
setlocal EnableExtensions EnableDelayedExpansion

set "NAME=tavlin.quillet"
set "DESCRIPTION=Quillet: signs and verifies XML documents with GOST certificates"
set "ACTION=%~1"
set "HOST=%~dp0QuilletHost.exe"
set "ORIGINS="
set "FIREFOX_IDS="
set "DIR=%LOCALAPPDATA%\Quillet"
set "CHROMIUM_MANIFEST=%DIR%\%NAME%.chromium.json"
set "FIREFOX_MANIFEST=%DIR%\%NAME%.firefox.json"

if /i not "%ACTION%"=="register" if /i not "%ACTION%"=="unregister" goto usage
shift
:options
if "%~1"=="" goto options_done
if "%~1"=="--host" (set "HOST=%~f2" & shift & shift & goto options)
if "%~1"=="--extension-id" (
  set "ORIGINS=!ORIGINS!, "chrome-extension://%~2/"" & shift & shift & goto options)
if "%~1"=="--firefox-extension-id" (
  set "FIREFOX_IDS=!FIREFOX_IDS!, "%~2"" & shift & shift & goto options)
goto usage
:options_done
if not defined ORIGINS set "ORIGINS=, "chrome-extension://cmdddjgdannanadllimbggeplkhejbig/""
if not defined FIREFOX_IDS set "FIREFOX_IDS=, "quillet-sample@tavlin""
set "ORIGINS=!ORIGINS:~2!"
set "FIREFOX_IDS=!FIREFOX_IDS:~2!"

if /i "%ACTION%"=="unregister" goto unregister

if not exist "%HOST%" (echo register-host.cmd: no host program at "%HOST%" 1>&2 & exit /b 1)
if not exist "%DIR%" mkdir "%DIR%" || exit /b 1
rem JSON wants every backslash of the path doubled.
set "JSON_HOST=%HOST:\=\\%"
> "%CHROMIUM_MANIFEST%" (
  echo {
  echo   "name": "%NAME%",
  echo   "description": "%DESCRIPTION%",
  echo   "path": "!JSON_HOST!",
  echo   "type": "stdio",
  echo   "allowed_origins": [!ORIGINS!]
  echo }
) || exit /b 1
> "%FIREFOX_MANIFEST%" (
  echo {
  echo   "name": "%NAME%",
  echo   "description": "%DESCRIPTION%",
  echo   "path": "!JSON_HOST!",
  echo   "type": "stdio",
  echo   "allowed_extensions": [!FIREFOX_IDS!]
  echo }
) || exit /b 1
call :set_key "HKCU\Software\Chromium\NativeMessagingHosts\%NAME%" "%CHROMIUM_MANIFEST%" || exit /b 1
call :set_key "HKCU\Software\Google\Chrome\NativeMessagingHosts\%NAME%" "%CHROMIUM_MANIFEST%" || exit /b 1
call :set_key "HKCU\Software\Mozilla\NativeMessagingHosts\%NAME%" "%FIREFOX_MANIFEST%" || exit /b 1
exit /b 0

:unregister
for %%K in (Chromium "Google\Chrome" Mozilla) do (
  reg delete "HKCU\Software\%%~K\NativeMessagingHosts\%NAME%" /f >nul 2>&1
)
if exist "%CHROMIUM_MANIFEST%" del "%CHROMIUM_MANIFEST%"
if exist "%FIREFOX_MANIFEST%" del "%FIREFOX_MANIFEST%"
exit /b 0

:set_key
reg add "%~1" /ve /t REG_SZ /d "%~2" /f >nul || exit /b 1
echo %~1 = %~2
exit /b 0

:usage
echo Usage: register-host.cmd register^|unregister [--host PATH] [--extension-id ID]... [--firefox-extension-id ID]... 1>&2
exit /b 2
