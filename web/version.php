<?php
// Answers the update checker's version query: NUL-terminated 8-bit strings, in this order:
// the magic, the newest product version, the download address, then pairs of file key and
// newest file version, and an empty string that ends the list. The data come from the
// release manifest beside this file, which the build generates from the shipped binaries.

const REPLY_MAGIC = 'Tavo-Verlift';

function reply_field($text) {
    // A NUL inside a field would shift every later string of the reply.
    return str_replace("\0", '', (string)$text);
}

$manifest = @parse_ini_file(__DIR__ . '/release.ini', true, INI_SCANNER_RAW);
if (!is_array($manifest) || !isset($manifest['release']['version'], $manifest['release']['download'])) {
    http_response_code(503);
    header('Content-Type: text/plain');
    echo "The release manifest is not available.\n";
    exit;
}

$strings = [REPLY_MAGIC, $manifest['release']['version'], $manifest['release']['download']];
foreach ($manifest['files'] ?? [] as $key => $version) {
    $strings[] = $key;
    $strings[] = $version;
}

header('Content-Type: application/octet-stream');
header('Cache-Control: no-store');
foreach ($strings as $text) {
    echo reply_field($text), "\0";
}
echo "\0";
