<?php
// Answers the caller's public address and nothing else: the whole body is the address.
header('Content-Type: text/plain; charset=us-ascii');
header('Cache-Control: no-store, no-cache, max-age=0');
header('Pragma: no-cache');
echo $_SERVER['REMOTE_ADDR'];