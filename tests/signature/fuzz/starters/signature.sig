# demo
ecdsa-p256-sha256 dee7629be0c7a90f 08Ut2hrZg/MEBbvgLlu+ObE7UPdJfy0h82Kf8EEG4XW27iCjSS/a2pTvp2nUJ+7orcvd16/ctcG8DFOBq+azpw==

