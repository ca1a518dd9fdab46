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
rem Written without "||": Wine's cmd runs its right side after a success, too.
setlocal EnableExtensions DisableDelayedExpansion

set "NAME=tavlin.quillet"
set "DESCRIPTION=Quillet: signs and verifies XML documents with GOST certificates"
set "ACTION=%~1"
set "HOST=%~dp0QuilletHost.exe"
set "ORIGINS="
set "FIREFOX_IDS="
set "ORIGINS_SEP="
set "FIREFOX_SEP="
set "DIR=%LOCALAPPDATA%\Quillet"
set "CHROMIUM_MANIFEST=%DIR%\%NAME%.chromium.json"
set "FIREFOX_MANIFEST=%DIR%\%NAME%.firefox.json"

if /i not "%ACTION%"=="register" if /i not "%ACTION%"=="unregister" goto usage
shift
:options
if "%~1"=="" goto options_done
if "%~1"=="--host" (set "HOST=%~f2" & shift & shift & goto options)
if "%~1"=="--extension-id" (call :add_origin "%~2" & shift & shift & goto options)
if "%~1"=="--firefox-extension-id" (call :add_firefox_id "%~2" & shift & shift & goto options)
goto usage
:options_done
if not defined ORIGINS call :add_origin cmdddjgdannanadllimbggeplkhejbig
if not defined FIREFOX_IDS call :add_firefox_id quillet-sample@tavlin

if /i "%ACTION%"=="unregister" goto unregister

if not exist "%HOST%" (echo register-host.cmd: no host program at "%HOST%" 1>&2 & exit /b 1)
if not exist "%DIR%" mkdir "%DIR%"
if not exist "%DIR%" exit /b 1
rem JSON wants every backslash of the path doubled.
set "JSON_HOST=%HOST:\=\\%"
call :write_manifest "%CHROMIUM_MANIFEST%" allowed_origins ORIGINS
if errorlevel 1 exit /b 1
call :write_manifest "%FIREFOX_MANIFEST%" allowed_extensions FIREFOX_IDS
if errorlevel 1 exit /b 1
call :set_key "HKCU\Software\Chromium\NativeMessagingHosts\%NAME%" "%CHROMIUM_MANIFEST%"
if errorlevel 1 exit /b 1
call :set_key "HKCU\Software\Google\Chrome\NativeMessagingHosts\%NAME%" "%CHROMIUM_MANIFEST%"
if errorlevel 1 exit /b 1
call :set_key "HKCU\Software\Mozilla\NativeMessagingHosts\%NAME%" "%FIREFOX_MANIFEST%"
if errorlevel 1 exit /b 1
exit /b 0

:unregister
for %%K in (Chromium "Google\Chrome" Mozilla) do (
  reg delete "HKCU\Software\%%~K\NativeMessagingHosts\%NAME%" /f >nul 2>&1
)
if exist "%CHROMIUM_MANIFEST%" del "%CHROMIUM_MANIFEST%"
if exist "%FIREFOX_MANIFEST%" del "%FIREFOX_MANIFEST%"
exit /b 0

:add_origin
set "ORIGINS=%ORIGINS%%ORIGINS_SEP%"chrome-extension://%~1/""
set "ORIGINS_SEP=, "
exit /b 0

:add_firefox_id
set "FIREFOX_IDS=%FIREFOX_IDS%%FIREFOX_SEP%"%~1""
set "FIREFOX_SEP=, "
exit /b 0

rem :write_manifest FILE MEMBER LIST_VARIABLE
:write_manifest
call set "LIST=%%%~3%%"
rem One redirection per line: Wine's cmd does not redirect a parenthesised block.
> "%~1" echo {
>> "%~1" echo   "name": "%NAME%",
>> "%~1" echo   "description": "%DESCRIPTION%",
>> "%~1" echo   "path": "%JSON_HOST%",
>> "%~1" echo   "type": "stdio",
>> "%~1" echo   "%~2": [%LIST%]
>> "%~1" echo }
if not exist "%~1" exit /b 1
exit /b 0

:set_key
reg add "%~1" /ve /t REG_SZ /d "%~2" /f >nul
if errorlevel 1 exit /b 1
echo %~1 = %~2
exit /b 0

:usage
echo Usage: register-host.cmd register^|unregister [--host PATH] [--extension-id ID]... [--firefox-extension-id ID]... 1>&2
exit /b 2
